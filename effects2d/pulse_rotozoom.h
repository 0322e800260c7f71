// One texture turned about the frame centre and scaled by the cosine of its own angle.
#pragma once
#include <cstdint>

namespace vantrose {

struct PulseRotozoomState {
    uint8_t angle;
};

struct ClosingRotozoomState {
    uint8_t angle;
    uint8_t phase;
};

extern PulseRotozoomState pulse_rotozoom_state;
extern ClosingRotozoomState closing_rotozoom_state;

void pulse_rotozoom_init(PulseRotozoomState& state);
void pulse_rotozoom_frame(PulseRotozoomState& state, const uint8_t* texture, uint8_t* frame);
void closing_rotozoom_frame(ClosingRotozoomState& state, const uint8_t* texture, uint8_t* frame);

} // namespace vantrose
