#include "effects2d/mapped_texture.h"

#include <cmath>
#include <numbers>

#include "effects2d/plasma.h"
#include "runtime/buffers.h"

namespace vantrose {

namespace {

// Full-precision pi here, unlike the angle tables elsewhere.
std::array<uint8_t, 256> make_sine5() {
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const double s = std::sin(2.0 * std::numbers::pi * 5.0 * i / 256.0);
        table[i] = static_cast<uint8_t>(std::floor(32.0 + 31.5 * s + 0.5));
    }
    table[64] = 63; // the one exact peak would round to 64
    return table;
}

std::array<uint8_t, 256> make_sine3() {
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const double s = std::sin(2.0 * std::numbers::pi * i / 85.2);
        table[i] = static_cast<uint8_t>(std::floor(64.0 + 63.5 * s + 0.5));
    }
    return table;
}

// Pixel pairs of the 134 rows the transfer reads, from the even map entries; texture_offset
// gives the first texel of a pair, the second is the next texel in memory order.
template <typename Offset> void map_pairs(Offset texture_offset) {
    const uint8_t* texture = map_source;
    for (int k = 0; k < 67; ++k) {
        for (int y = 3 * k; y < 3 * k + 2; ++y) {
            const uint16_t* entry = map_table + y * 320;
            uint8_t* out = map_target + y * 320;
            for (int x = 0; x < 320; x += 2) {
                const uint32_t o = texture_offset(entry[x]);
                out[x] = texture[o];
                out[x + 1] = texture[(o + 1) & 0xffff];
            }
        }
    }
}

} // namespace

const std::array<uint8_t, 256> sine5_table = make_sine5();
const std::array<uint8_t, 256> sine3_table = make_sine3();

MapCounters map_drift_counters{};
MapCounters map_swell_counters{};
MapCounters map_wave_counters{};

void map_drift_frame() {
    MapCounters& n = map_drift_counters;
    n.phase = static_cast<uint8_t>(n.phase + 1);
    n.scroll = static_cast<uint8_t>(n.scroll + 2);
    // Both offsets are the same for the whole frame; the entry's column byte picks the row.
    const uint32_t row_offset = sine5_table[n.phase];
    const uint32_t column_offset = n.scroll + sine3_table[n.phase];
    map_pairs([=](uint32_t e) {
        const uint32_t r = ((e & 255) + row_offset) & 255;
        const uint32_t c = ((e >> 8) + column_offset) & 255;
        return (r << 8) | c;
    });
}

void map_swell_frame() {
    MapCounters& n = map_swell_counters;
    n.scroll = static_cast<uint8_t>(n.scroll + 3);
    const uint32_t scroll = n.scroll;
    const uint8_t* sine3 = sine3_table.data();
    map_pairs([=](uint32_t e) {
        const uint32_t u = e & 255;
        const uint32_t r = ((e >> 8) + scroll + sine3[(u + scroll) & 255]) & 255;
        return (r << 8) | u;
    });
}

void map_wave_frame() {
    MapCounters& n = map_wave_counters;
    n.phase = static_cast<uint8_t>(n.phase + 1);
    n.scroll = static_cast<uint8_t>(n.scroll + 1);
    const uint32_t phase = n.phase;
    const uint32_t scroll = n.scroll;
    const uint8_t* sine5 = sine5_table.data();
    map_pairs([=](uint32_t e) {
        const uint32_t u = e & 255;
        const uint32_t r = ((e >> 8) + scroll + sine5[(u + phase) & 255]) & 255;
        return (r << 8) | u;
    });
}

} // namespace vantrose
