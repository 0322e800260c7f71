// A texture picture moved by sine tables and mapped onto the frame through map_table.
#pragma once
#include <array>
#include <cstdint>

namespace vantrose {

// Five sine periods over 256 entries, 1 .. 63 (entry 64 held at 63).
extern const std::array<uint8_t, 256> sine5_table;
// A sine of period 85.2 entries, 1 .. 127; it does not join smoothly at its end.
extern const std::array<uint8_t, 256> sine3_table;

// Per-routine counters, zero at start-up and never reset.
struct MapCounters {
    uint8_t phase;
    uint8_t scroll;
};

extern MapCounters map_drift_counters;
extern MapCounters map_swell_counters; // the phase is not used
extern MapCounters map_wave_counters;

void map_drift_frame();
void map_swell_frame();
void map_wave_frame();

} // namespace vantrose
