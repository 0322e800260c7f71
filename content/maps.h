// Per-pixel tables: texture mappings for the plasmas and mapped textures, and the ripple maps.
#pragma once
#include "content/archive_writer.h"

namespace vantrose {

// 320 x 200 little-endian u16 texel positions (low byte u, high byte v).
Bytes tunnel_map(); // entry 24
Bytes floor_map();  // entry 35: floor and ceiling
// 320 x 200 bytes of pulse phase.
Bytes pulse_map(); // entry 31
// 320 x 200 bytes of wave position, then the 1024 signed bytes of the wave profile.
Bytes wave_map(); // entry 32

constexpr int wave_profile_length = 1024;

} // namespace vantrose
