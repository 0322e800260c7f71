// A texture picture moved by sine tables and mapped onto the frame through map_table.
#pragma once
#include <cstdint>

namespace vantrose {

void map_drift_frame();
void map_swell_frame();
void map_wave_frame();

} // namespace vantrose
