#include "maps_support.h"

#include <cstdio>
#include <cstdlib>
#include <png.h>

namespace vantrose::maps_test {


uint64_t checksum(const uint8_t* bytes, size_t size) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

void fill_noise(uint8_t* bytes, size_t size, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<uint8_t>(state >> 24);
    }
}

void mark_skipped_rows(uint8_t* frame, uint8_t marker) {
    for (int y = 2; y < 200; y += 3)
        for (int x = 0; x < 320; ++x) frame[y * 320 + x] = marker;
}

bool skipped_rows_hold(const uint8_t* frame, uint8_t marker) {
    for (int y = 2; y < 200; y += 3)
        for (int x = 0; x < 320; ++x)
            if (frame[y * 320 + x] != marker) return false;
    return true;
}

std::vector<uint8_t> view_palette() {
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 256; ++i) {
        auto tri = [](int v) { return static_cast<uint8_t>(v < 128 ? v / 2 : (255 - v) / 2); };
        palette[i * 3 + 0] = tri(i);
        palette[i * 3 + 1] = tri((i + 85) & 255);
        palette[i * 3 + 2] = tri((i + 170) & 255);
    }
    return palette;
}

void write_png(const std::string& name, const uint8_t* pixels, int width, int height,
               const uint8_t* palette) {
    const char* folder = std::getenv("VANTROSE_PNG_DIR");
    if (folder == nullptr || *folder == '\0') return;
    const std::string path = std::string(folder) + "/" + name + ".png";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t index = pixels[y * width + x];
            for (int i = 0; i < 3; ++i)
                row[x * 3 + i] = static_cast<uint8_t>(palette[index * 3 + i] * 4);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

} // namespace vantrose::maps_test
