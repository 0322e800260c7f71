// A small playable module for tests: one looped square wave, one 64-row pattern with a note
// every 16 rows played by `orders` orders, at the given speed and tempo; with `rows` below 64 a
// pattern break ends each order after that many rows.
#pragma once
#include <fstream>

#include "content/s3m_writer.h"

namespace vantrose::test_support {

inline std::vector<uint8_t> tiny_s3m(int orders = 4, int speed = 6, int tempo = 125,
                                     int rows = 64) {
    S3mModule m;
    m.speed = static_cast<uint8_t>(speed);
    m.tempo = static_cast<uint8_t>(tempo);
    m.pannings = {3};
    std::vector<int16_t> square(256);
    for (size_t i = 0; i < square.size(); ++i) square[i] = i % 32 < 16 ? 16384 : -16384;
    m.samples = {S3mSample{"square", square, 8363, 0, 256, 64}};
    m.patterns.assign(1, S3mPattern(s3m_rows));
    for (int row = 0; row < 64; row += 16) m.patterns[0][row] = {s3m_note(36 + row / 8), 1};
    if (rows < 64) {
        m.patterns[0][rows - 1].command = 3; // C: break to the next order
        m.patterns[0][rows - 1].info = 0;
    }
    m.orders.assign(static_cast<size_t>(orders), 0);
    return write_s3m(m);
}

inline bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace vantrose::test_support
