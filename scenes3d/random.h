// The show's random numbers: the classic C library generator, 0..32767.
#pragma once
#include <cstdint>

namespace vantrose {

// Seeded with 1 at program start and never reseeded, so every show draws the same balls.
extern uint32_t random_state;

// One draw, 0..32767.
int32_t random_draw();

} // namespace vantrose
