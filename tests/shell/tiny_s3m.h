// A small but complete Scream Tracker 3 module for tests: one square-wave sample, one 64-row
// pattern played by `orders` orders, at the given speed and tempo; with `rows` below 64 a
// pattern break ends each order after that many rows.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vantrose::test_support {

inline std::vector<uint8_t> tiny_s3m(int orders = 4, int speed = 6, int tempo = 125,
                                     int rows = 64) {
    std::vector<uint8_t> m(96, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        m[at] = static_cast<uint8_t>(v);
        m[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    const std::string name = "shell test";
    std::copy(name.begin(), name.end(), m.begin());
    m[28] = 0x1A;
    m[29] = 16;
    put16(32, static_cast<uint32_t>(orders));
    put16(34, 1);
    put16(36, 1);
    put16(40, 0x1320);
    put16(42, 2); // unsigned samples
    m[44] = 'S', m[45] = 'C', m[46] = 'R', m[47] = 'M';
    m[48] = 64;
    m[49] = static_cast<uint8_t>(speed);
    m[50] = static_cast<uint8_t>(tempo);
    m[51] = 0xB0;
    for (int c = 0; c < 32; ++c) m[64 + c] = c == 0 ? 0 : c == 1 ? 8 : 255;
    for (int o = 0; o < orders; ++o) m.push_back(0);
    const size_t instrument_pointer = m.size();
    m.resize(m.size() + 4);
    auto align = [&] { m.resize((m.size() + 15) / 16 * 16); };
    align();
    const size_t instrument = m.size();
    put16(instrument_pointer, static_cast<uint32_t>(instrument / 16));
    m.resize(instrument + 80);
    m[instrument] = 1;
    const size_t sample_length = 256;
    put32(instrument + 16, sample_length);
    put32(instrument + 20, 0);
    put32(instrument + 24, sample_length);
    m[instrument + 28] = 64;
    m[instrument + 31] = 1; // looped
    put32(instrument + 32, 8363);
    m[instrument + 76] = 'S', m[instrument + 77] = 'C', m[instrument + 78] = 'R',
                   m[instrument + 79] = 'S';
    align();
    const size_t pattern = m.size();
    put16(instrument_pointer + 2, static_cast<uint32_t>(pattern / 16));
    m.resize(pattern + 2);
    for (int row = 0; row < 64; ++row) {
        if (row % 16 == 0) {
            m.push_back(0x20); // channel 0: note and instrument
            m.push_back(static_cast<uint8_t>(0x40 + (row / 16) * 2));
            m.push_back(1);
        }
        if (row == rows - 1) m.insert(m.end(), {0x81, 3, 0}); // channel 1: break to the next
        m.push_back(0);
    }
    put16(pattern, static_cast<uint32_t>(m.size() - pattern));
    align();
    const size_t sample = m.size();
    m[instrument + 13] = static_cast<uint8_t>((sample / 16) >> 16);
    put16(instrument + 14, static_cast<uint32_t>((sample / 16) & 0xFFFF));
    for (size_t i = 0; i < sample_length; ++i) m.push_back(i % 32 < 16 ? 0x40 : 0xC0);
    return m;
}

inline bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace vantrose::test_support
