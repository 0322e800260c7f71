// The scene script: the show from the opening picture to the end, and its loop patterns.
#pragma once
#include <cstdint>

namespace vantrose {

// Orders a module needs for the show: the scene lengths add up to order 89, the last one the
// scene table waits for (later still when a 3D scene's timed phase spans orders).
constexpr int32_t show_orders = 90;

extern int32_t scene_start_order;
extern uint32_t loop_counter;

void run_show();

// True when the music has reached start + n: by equality, or because it has gone past that order
// or wrapped back before start (a module with jumps or an early end never hangs the show).
bool order_reached(int32_t start, int32_t n);

// Order loop of length n: scene_start_order = music_order, then frame steps, poll, present
// until order_reached. `frame` runs the scene's frame steps (effect, rotations, transfer).
void order_loop(int32_t n, void (*frame)());
// Same, without recording the start order first (scenes that record it earlier).
void order_loop_from_start(int32_t n, void (*frame)());
// Decay loop of `frames` frames: transfer, poll, present_stripes.
void decay_loop(uint32_t frames, void (*transfer)());
// Picture scene steps 2 to 6 with the picture already loaded into hires_picture and its palette
// into pal0; the order loop waits for scene_start_order + n (the caller records the start order).
// `poll_fade` = false leaves poll_music out of the fade-out frames.
void picture_scene(int32_t n, bool poll_fade = true);

// Scenes 2 to 42 (the scene table).
void run_scene_table();

} // namespace vantrose
