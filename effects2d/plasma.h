// Plasma textures rebuilt every frame and mapped onto the frame through map_table.
#pragma once
#include <cstdint>

namespace vantrose {

// Texture and frame of the mapping-table effects (plasmas and mapped textures).
extern uint8_t* map_source;
extern uint8_t* map_target;

// What each plasma routine keeps from frame to frame: its own copy of everything.
struct PlasmaState {
    uint8_t ramp_table[256]; // zigzag 0 .. 64, constant, the same in every copy
    uint8_t plasma_row[256]; // rebuilt every frame
    uint8_t phase1, phase2, phase3, phase4;
    uint16_t plasma_offset; // low byte column offset, high byte row offset
};

extern PlasmaState plasma_shear_state;
extern PlasmaState plasma_fold_state;
extern PlasmaState plasma_displace_state;

void plasma_shear_frame();
void plasma_fold_frame();
void plasma_displace_frame();

} // namespace vantrose
