#include "effects2d/radial_tables.h"

#include <cmath>

namespace vantrose {

uint16_t distance_table[320 * 200];
int16_t sine_table[256];
int16_t cosine_table[256];

void build_radial_tables() {
    for (int x = 0; x < 320; ++x) {
        for (int y = 0; y < 200; ++y) {
            const int d = (160 - x) * (160 - x) + (100 - y) * (100 - y);
            distance_table[x * 200 + y] = static_cast<uint16_t>(std::sqrt(static_cast<double>(d)));
        }
    }
    // No entry is 0, so readers may divide by any of them.
    distance_table[160 * 200 + 100] = 1;
    for (int i = 0; i < 256; ++i) {
        const double t = i * 3.14159 * (1.0 / 128);
        sine_table[i] = static_cast<int16_t>(std::sin(t) * 32767.0);
        cosine_table[i] = static_cast<int16_t>(std::cos(t) * 32767.0);
    }
}

} // namespace vantrose
