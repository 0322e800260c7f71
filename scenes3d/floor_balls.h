// The floor and bouncing balls scene: a rocking floor with ten spinning balls under a circling
// light.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace vantrose {

void set_up_scene_3d_1();
void spawn_ball(uint32_t i);
void respawn_ball(uint32_t i, int32_t d);
void tick_bounce_in();
void tick_balls_main();

// Phase ends of run_scene_3d_1, called with node_mutex held after each frame.
bool scene_3d_1_floor_settled(); // |root vy| <= 0.5 or |root py| <= 0.1
bool scene_3d_1_order_6();       // music at the start order + 6
bool scene_3d_1_floor_gone();    // |root py| >= 1600

// The ball's 48 faces as local corner triples; the cluster scene's ball shares them.
std::array<std::array<int32_t, 3>, 48> ball_face_list();
// The built-in packed ball tables (int16 count, then int16 triples, little-endian).
std::vector<uint8_t> ball_packed_vertices();
std::vector<uint8_t> ball_packed_faces();

} // namespace vantrose
