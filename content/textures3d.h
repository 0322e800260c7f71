// Textures of the 3D scenes: looked up through the shade table, so lighting sets brightness.
#pragma once
#include "content/show.h"

namespace vantrose {

Art floor_texture();  // entry 39: the floor, wrapping every 256 units
Art metal_texture();  // entry 45: legs and rings of the gimbal
Art plaque_texture(); // entry 47: the plaque, engraved
Art planet_texture(); // entry 50: sphere and polyhedra
Art chrome_texture(); // entry 52: balls and tetrahedra

} // namespace vantrose
