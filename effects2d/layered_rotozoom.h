// Five turning, zooming copies of one texture, stacked far to near.
#pragma once
#include <cstdint>

namespace vantrose {

extern int16_t rot_sin[256];
extern int16_t rot_cos[256];
extern int16_t rot_cos_y[256];
extern int16_t rot_nsin_y[256];

struct RotozoomLayer {
    uint8_t angle;
    int16_t zoom;
};

struct LayeredRotozoomState {
    RotozoomLayer layer[5];
    uint16_t countdown;
};

// The show's two instances (textures from entries 2 and 8).
extern LayeredRotozoomState layered_rotozoom_1;
extern LayeredRotozoomState layered_rotozoom_2;

void layered_rotozoom_init(LayeredRotozoomState& state);
void layered_rotozoom_frame(LayeredRotozoomState& state, const uint8_t* texture, uint8_t* frame);
// One layer over the whole 320 x 200 frame, a texel for each 2 x 2 cell.
void sample_grid(const uint8_t* texture, uint8_t* frame, uint16_t u_base, uint16_t v_base,
                 uint8_t angle, int16_t zoom);

} // namespace vantrose
