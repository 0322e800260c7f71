// Inputs and the rotozoom grid reference shared by the 2D effect tests (written from the
// formulas, sharing no code with the effects).
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantrose::effects_test {

using Bytes = std::vector<uint8_t>;

// Deterministic noise bytes from a seed.
inline Bytes noise(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

// Nearest integer to amplitude * sin or cos of i/256 of a turn, the turn built from 3.14159.
inline int table_entry(double amplitude, bool sine, int i) {
    const double t = 2.0 * 3.14159 * i / 256.0;
    return static_cast<int>(std::round(amplitude * (sine ? std::sin(t) : std::cos(t))));
}

inline int64_t wrap16(int64_t x) {
    return ((x % 65536) + 65536) % 65536;
}

// The rotozoom grid, every pixel on its own: 2 x 2 cells, steps floor(entry * zoom / 256) kept
// to 16 bits, the first cell one column step in from the top-left corner.
inline void reference_grid(const Bytes& texture, uint8_t* frame, int u_base, int v_base, int angle,
                           int zoom, bool skip_zero) {
    const auto step = [zoom](int entry) {
        return wrap16(static_cast<int64_t>(std::floor(double(entry) * zoom / 256.0)));
    };
    const int64_t du_dx = step(table_entry(256.0, false, angle));
    const int64_t dv_dx = step(table_entry(256.0, true, angle));
    const int64_t du_dy = step(table_entry(-307.2, true, angle));
    const int64_t dv_dy = step(table_entry(307.2, false, angle));
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const int64_t i = x / 2, j = y / 2;
            const int64_t u =
                wrap16(u_base - 80 * du_dx - 50 * du_dy + j * du_dy + (i + 1) * du_dx);
            const int64_t v =
                wrap16(v_base - 80 * dv_dx - 50 * dv_dy + j * dv_dy + (i + 1) * dv_dx);
            const uint8_t t = texture[(v / 256) * 256 + u / 256];
            if (!(skip_zero && t == 0)) frame[y * 320 + x] = t;
        }
    }
}

} // namespace vantrose::effects_test
