// A picture swirled about the frame centre by a strength that swells and ebbs.
#pragma once
#include <cstdint>

namespace vantrose {

extern uint8_t* twirl_source;
extern uint8_t* twirl_target;

void twirl_frame();

} // namespace vantrose
