// The 320 x 200 pictures of the 2D scenes.
#pragma once
#include "content/show.h"

namespace vantrose {

Art blank_picture();        // entry 0: loaded and overwritten before it is shown
Art nebula_picture();       // entry 4: under the first layered rotozoom
Art credit_card(int which); // entries 10, 12, 14, 29: one per music order
Art sunset_picture();       // entry 18: under the pulse rotozoom
Art rings_picture();        // entry 20: first twirl, cycled palette
Art spiral_picture();       // entry 22: second twirl, cycled palette
Art pool_picture();         // entry 33: under the ripple, one smooth ramp

} // namespace vantrose
