// Palettes made for rotation: every one joins its last entry smoothly to its first.
#pragma once
#include "content/palettes.h"

namespace vantrose {

Palette rings_cycle();  // entry 21: first twirl
Palette flame_cycle();  // entry 23: second twirl and first plasma
Palette ice_cycle();    // entry 25: second plasma
Palette copper_cycle(); // entry 26: third mapped texture
Palette violet_cycle(); // entry 49: third plasma (colours of displaced map bytes)

} // namespace vantrose
