// The 256 x 256 textures of the 2D effects.
#pragma once
#include "content/show.h"

namespace vantrose {

Art lattice_texture();       // entry 2: first layered rotozoom, index-0 holes
Art rings_lattice_texture(); // entry 8: second layered rotozoom, index-0 holes
Art ornament_texture();      // entry 16: pulse rotozoom
Art tiles_texture();         // entry 36: first mapped texture
Indexed marble_texture();    // entry 38: third mapped texture, for the cycled palette 26
Art flutes_texture();        // entry 41: second mapped texture and the floor scene's balls

} // namespace vantrose
