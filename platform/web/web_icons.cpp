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

// Deflate with the fixed codes, each run of a byte as the byte and a copy at distance 1: the
// icons are mostly black.
struct Bits {
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int count = 0;
    void put(uint32_t v, int n) { // least significant bit first
        bits |= v << count;
        for (count += n; count >= 8; count -= 8, bits >>= 8)
            out.push_back(static_cast<uint8_t>(bits));
    }
    void code(uint32_t v, int n) { // Huffman codes go most significant bit first
        uint32_t r = 0;
        for (int i = 0; i < n; ++i) r |= ((v >> i) & 1u) << (n - 1 - i);
        put(r, n);
    }
    void symbol(int s) {
        if (s < 144)
            code(0x30 + s, 8);
        else if (s < 256)
            code(0x190 + s - 144, 9);
        else if (s < 280)
            code(s - 256, 7);
        else
            code(0xC0 + s - 280, 8);
    }
    void copy(int length) { // 3..258 bytes from distance 1
        static const int base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                   31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        int i = 28;
        while (base[i] > length) --i;
        symbol(257 + i);
        const int extra = i < 8 || i == 28 ? 0 : (i - 4) / 4;
        put(static_cast<uint32_t>(length - base[i]), extra);
        code(0, 5);
    }
};

std::vector<uint8_t> deflate(const std::vector<uint8_t>& raw) {
    Bits z;
    z.put(0x78, 8);
    z.put(0x01, 8);
    z.put(1, 1); // the last block
    z.put(1, 2); // fixed codes
    for (size_t at = 0; at < raw.size();) {
        z.symbol(raw[at]);
        size_t run = 1;
        while (at + run < raw.size() && raw[at + run] == raw[at] && run < 259) ++run;
        if (run >= 4)
            z.copy(static_cast<int>(run - 1));
        else
            run = 1;
        at += run;
    }
    z.symbol(256);
    z.put(0, 7); // to the byte
    return z.out;
}

// A grey PNG.
std::vector<uint8_t> grey_png(const std::vector<uint8_t>& pixels, int size) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + y * size, pixels.begin() + (y + 1) * size);
    }
    std::vector<uint8_t> z = deflate(raw);
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
