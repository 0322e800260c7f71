#include "effects2d/pulse_rotozoom.h"

#include "effects2d/layered_rotozoom.h"

namespace vantrose {

PulseRotozoomState pulse_rotozoom_state;
ClosingRotozoomState closing_rotozoom_state;

namespace {

// Texel (128, 128) sits at the middle of the frame.
constexpr uint16_t centre = 32768;

// The zoom is the cosine of the angle itself: the picture shrinks to one texel at a quarter
// turn and comes back mirrored, so a and a + 128 look the same.
void draw_pulse(uint8_t angle, const uint8_t* texture, uint8_t* frame) {
    sample_grid(texture, frame, centre, centre, angle, rot_cos[angle]);
}

} // namespace

void pulse_rotozoom_init(PulseRotozoomState& state) {
    state.angle = 64;
}

void pulse_rotozoom_frame(PulseRotozoomState& state, const uint8_t* texture, uint8_t* frame) {
    draw_pulse(state.angle, texture, frame);
    state.angle = static_cast<uint8_t>(state.angle + 4);
}

void closing_rotozoom_frame(ClosingRotozoomState& state, const uint8_t* texture, uint8_t* frame) {
    draw_pulse(state.angle, texture, frame);
    // The phase plus a swing of up to a quarter turn either way: the turn speeds up, slows
    // down and briefly runs backwards once per 256 frames.
    state.phase = static_cast<uint8_t>(state.phase + 1);
    state.angle = static_cast<uint8_t>(state.phase + (rot_sin[state.phase] >> 2));
}

} // namespace vantrose
