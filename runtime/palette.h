// Palette operations on 768 bytes of 6-bit levels; the bytes may be shared with the timer thread.
#pragma once
#include <cstdint>

namespace vantrose {

void clear_palette(uint8_t* palette);
void rotate_palette(uint8_t* palette);
void step_palette_toward(uint8_t* current, const uint8_t* target);

} // namespace vantrose
