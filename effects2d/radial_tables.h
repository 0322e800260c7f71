// Distance from the frame centre, and a 256-step sine and cosine of amplitude 32767.
#pragma once
#include <cstdint>

namespace vantrose {

extern uint16_t distance_table[320 * 200]; // column-major: index x * 200 + y
extern int16_t sine_table[256];
extern int16_t cosine_table[256];

void build_radial_tables();

} // namespace vantrose
