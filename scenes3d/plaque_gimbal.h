// The plaque and gimbal scene: a bevelled plaque on two legs carrying three nested rings.
#pragma once
#include <cstdint>

#include "scenes3d/wide_model.h"

namespace vantrose {

// The scene's clock angle in radians, one degree per tick.
extern float scene_3d_2_angle;

void set_up_scene_3d_2();
void tick_scene_3d_2();

// Phase ends of run_scene_3d_2, called with node_mutex held after each frame.
bool scene_3d_2_slid_in(); // root px >= 0
bool scene_3d_2_order_6(); // music at the start order + 6
bool scene_3d_2_order_7(); // music at the start order + 7

// The built-in tables, raw (before the division by 3).
WideTable plaque_vertices();
WideTable plaque_faces();
WideTable legs_vertices();
WideTable legs_faces();
// A ring of 16 sections of 8 vertices around the y axis, with its pins when it carries them.
// ring: 0 outer, 1 middle, 2 inner.
WideTable ring_vertices(int ring);
WideTable ring_faces(int ring);

} // namespace vantrose
