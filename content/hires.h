// The three full-screen 640 x 480 pictures.
#pragma once
#include "content/show.h"

namespace vantrose {

Art title_picture();   // entry 27: "Quorv!" presents "Vantrose"
Art aurora_picture();  // entry 43: the middle picture
Art eclipse_picture(); // entry 54: before the last 3D scene

} // namespace vantrose
