// The three 3D scenes of the show, entered through their runners.
#pragma once

namespace vantrose {

void run_scene_3d_2(); // plaque and gimbal
void run_scene_3d_1(); // floor and bouncing balls
void run_scene_3d_3(); // sphere and fractal cluster

} // namespace vantrose
