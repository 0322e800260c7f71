// Plasma textures rebuilt every frame and mapped onto the frame through map_table.
#pragma once
#include <cstdint>

#include "runtime/buffers.h"

namespace vantrose {

// Texture and frame of the mapping-table effects (plasmas and mapped textures).
extern uint8_t* map_source;
extern uint8_t* map_target;

// Pixel pairs of the 134 rows the transfer reads, from the even map entries; texture_offset
// gives the first texel of a pair, the second is the next texel in memory order.
template <typename Offset> inline void map_pairs(Offset texture_offset) {
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
