// The sphere and fractal cluster scene: a spinning sphere inside a three-level cluster of balls,
// polyhedra and tetrahedra.
#pragma once
#include <cstdint>

#include "scenes3d/wide_model.h"

namespace vantrose {

// Ticks for half a turn at the basic spin speed.
extern float spin_ticks;
// The scene's clock angle in radians.
extern float scene_3d_3_angle;

void set_up_scene_3d_3();
void tick_scene_3d_3_drift();
void tick_scene_3d_3_hover();

// Phase ends of run_scene_3d_3, called with node_mutex held after each frame.
bool scene_3d_3_descended(); // root py >= 0
bool scene_3d_3_order_5();   // music at the start order + 5
bool scene_3d_3_gone();      // root py >= 500

// The built-in tables, raw (before the division by 6).
WideTable sphere_vertices();
WideTable sphere_faces();
WideTable cluster_ball_vertices();
WideTable cluster_ball_faces();
WideTable polyhedron_vertices();
WideTable polyhedron_faces();
WideTable tetrahedron_vertices();
WideTable tetrahedron_faces();

} // namespace vantrose
