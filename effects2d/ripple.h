// Rings running across a picture: palette indices shifted by a pulsing wave.
#pragma once
#include <cstdint>

namespace vantrose {

extern uint8_t* ripple_pulse_map;
extern uint8_t* ripple_wave_map;
extern uint8_t* ripple_picture;
extern uint8_t* ripple_target;
extern uint8_t* ripple_palette;
extern float ripple_time;
extern float ripple_wave_time;

void ripple_setup();
void ripple_frame();
void ripple_render(uint32_t pulse, uint32_t wave);

} // namespace vantrose
