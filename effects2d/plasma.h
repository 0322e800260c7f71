// Plasma textures rebuilt every frame and mapped onto the frame through map_table.
#pragma once
#include <cstdint>

namespace vantrose {

// Texture and frame of the mapping-table effects (plasmas and mapped textures).
extern uint8_t* map_source;
extern uint8_t* map_target;

void plasma_shear_frame();
void plasma_fold_frame();
void plasma_displace_frame();

} // namespace vantrose
