#include "effects2d/mapped_texture.h"

#include <cmath>
#include <numbers>

#include "effects2d/plasma.h"

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
