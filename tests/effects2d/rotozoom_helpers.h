// Shared by the rotozoom and scroller tests: checksums, synthetic inputs, a plain per-pixel
// reference of the grid walk (written from the formulas, sharing no code with the effect), and
// PNG output for looking at frames.
#pragma once
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace rotozoom_test {

using Bytes = std::vector<uint8_t>;
// Frame number to checksum.
using Checksums = std::map<int, uint64_t>;

inline uint64_t checksum(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ull; // FNV-1a
    for (size_t k = 0; k < size; ++k) h = (h ^ data[k]) * 1099511628211ull;
    return h;
}

// A texture with structure at every scale and index-0 holes in a diagonal band pattern.
inline Bytes pattern_texture() {
    Bytes t(65536);
    for (int v = 0; v < 256; ++v) {
        for (int u = 0; u < 256; ++u) {
            const bool hole = ((u >> 4) + (v >> 4)) % 3 == 0;
            t[v * 256 + u] =
                hole ? 0 : static_cast<uint8_t>(((u * 3) ^ (v * 5)) + (u * v >> 6)) | 1;
        }
    }
    return t;
}

// Nearest integer to amplitude * sin or cos of i/256 of a turn, the turn built from 3.14159.
inline int table_entry(double amplitude, bool sine, int i) {
    const double t = 2.0 * 3.14159 * i / 256.0;
    return static_cast<int>(std::round(amplitude * (sine ? std::sin(t) : std::cos(t))));
}

inline int64_t wrap16(int64_t x) {
    return ((x % 65536) + 65536) % 65536;
}

// One grid step: floor((entry * zoom) / 256), kept to 16 bits.
inline int64_t reference_step(int entry, int zoom) {
    return wrap16(static_cast<int64_t>(std::floor(double(entry) * zoom / 256.0)));
}

struct Steps {
    int64_t du_dx, dv_dx, du_dy, dv_dy;
};

inline Steps reference_steps(int angle, int zoom) {
    return {reference_step(table_entry(256.0, false, angle), zoom),
            reference_step(table_entry(256.0, true, angle), zoom),
            reference_step(table_entry(-307.2, true, angle), zoom),
            reference_step(table_entry(307.2, false, angle), zoom)};
}

// Every pixel on its own, coordinates multiplied out per cell.
inline void reference_grid(const Bytes& texture, uint8_t* frame, int u_base, int v_base, int angle,
                           int zoom, bool skip_zero) {
    const Steps s = reference_steps(angle, zoom);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const int64_t i = x / 2, j = y / 2;
            const int64_t u =
                wrap16(u_base - 80 * s.du_dx - 50 * s.du_dy + j * s.du_dy + (i + 1) * s.du_dx);
            const int64_t v =
                wrap16(v_base - 80 * s.dv_dx - 50 * s.dv_dy + j * s.dv_dy + (i + 1) * s.dv_dx);
            const uint8_t t = texture[(v / 256) * 256 + u / 256];
            if (skip_zero && t == 0) continue;
            frame[y * 320 + x] = t;
        }
    }
}

// A palette of 6-bit levels: a smooth cycle through the hues, index 0 black.
inline Bytes test_palette() {
    Bytes pal(768);
    for (int k = 1; k < 256; ++k) {
        const double t = 2.0 * std::acos(-1.0) * k / 256.0;
        pal[3 * k] = static_cast<uint8_t>(31.5 + 31.5 * std::sin(t));
        pal[3 * k + 1] = static_cast<uint8_t>(31.5 + 31.5 * std::sin(t + 2.1));
        pal[3 * k + 2] = static_cast<uint8_t>(31.5 + 31.5 * std::sin(t + 4.2));
    }
    return pal;
}

// Writes an indexed picture as RGB PNG into $VANTROSE_PNG_DIR; false when that is unset.
inline bool write_png(const std::string& name, const uint8_t* pixels, int width, int height,
                      const Bytes& palette) {
    const char* dir = std::getenv("VANTROSE_PNG_DIR");
    if (dir == nullptr) return false;
    const std::string path = std::string(dir) + "/" + name + ".png";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row(width * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t index = pixels[y * width + x];
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<uint8_t>(palette[3 * index + c] * 4);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

} // namespace rotozoom_test
