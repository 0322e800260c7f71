// The page's icons (home screen, tab, web app manifest): the title badge, grey on black,
// enlarged nearest-neighbour to fill the square's width. Run by the build under node.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "shell/display.h"

namespace {

uint32_t crc32(const uint8_t* bytes, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    put32(png, static_cast<uint32_t>(data.size()));
    png.insert(png.end(), body.begin(), body.end());
    put32(png, crc32(body.data(), body.size()));
}

// A grey PNG, its rows in stored (uncompressed) deflate blocks: a few kilobytes at these sizes.
std::vector<uint8_t> grey_png(const std::vector<uint8_t>& pixels, int size) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + y * size, pixels.begin() + (y + 1) * size);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.insert(z.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                           static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)});
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    }
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, b << 16 | a);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(size));
    put32(header, static_cast<uint32_t>(size));
    header.insert(header.end(), {8, 0, 0, 0, 0}); // 8-bit grey
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

// The badge across 80 % of the square (the safe area of a maskable icon), centred.
std::vector<uint8_t> icon(int size) {
    using namespace vantrose;
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size, 0);
    const int w = size * 8 / 10, h = w * title_badge_height / title_badge_width;
    const int x0 = (size - w) / 2, y0 = (size - h) / 2;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t v = title_badge[y * title_badge_height / h * title_badge_width +
                                          x * title_badge_width / w];
            if (v != 0)
                pixels[(y0 + y) * size + x0 + x] = static_cast<uint8_t>(badge_palette[3 * v] << 2);
        }
    }
    return grey_png(pixels, size);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: web_icons FOLDER\n");
        return 2;
    }
    for (int size : {192, 512}) {
        const std::string name = std::string(argv[1]) + "/icon-" + std::to_string(size) + ".png";
        const std::vector<uint8_t> png = icon(size);
        FILE* f = std::fopen(name.c_str(), "wb");
        if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "web_icons: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
