// The clocks: after each presented frame the frame hooks run (dump, checksums, stats, recorder)
// and, on the virtual clock, time moves on by 1/refresh s with the music and the ticks due.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vantrose {

constexpr uint32_t audio_rate = 44100;
constexpr uint32_t ticks_per_second = 50;

// Receives each presented frame (640 x height, blue, green, red, unused) and, on the virtual
// clock, the stereo samples of the frame's time; the recorder plugs in here.
using FrameSink = void (*)(const uint8_t* frame, int height, const int16_t* audio, size_t frames);
extern FrameSink frame_sink;

// show_frame's tail: counts the frame, runs the hooks, advances the virtual clock, and posts the
// quit once --frames is reached.
void frame_presented();
// Presented frames so far.
uint64_t frame_count();

// Virtual clock: the timer starts ticking / the music starts playing at the current frame.
void virtual_timer_start();
void virtual_music_start();
// Back to frame 0 with nothing started (tests).
void reset_clock();

// --scene N: from the start of the show until scene N starts, frames run on the virtual clock
// unseen: nothing presented, heard, dumped, checksummed or counted for --frames.
bool skipping_scenes();
void begin_scene_skip();
// A scene starts: moves the skip's progress line on, and at scene N ends the skip. On the real
// clock the timer thread and the audio device start there, from where the unseen scenes left
// the ticks and the module.
void scene_skip_reached(int scene);
// Frames run unseen by the skip.
uint64_t skipped_frames();
// Real clock in a window: holds the frame until it is due at the show's frame rate (60 Hz on
// displays faster than 75 Hz, without vsync or while the window is inactive; --fps), so that
// the present that follows lands on the first flip after the deadline. No wait where frames
// follow the flip.
void pace_frame();
// A frame reached the display: the presented interval for --stats.
void note_presented();
// The show's pause: no frame, no tick, no music until resumed; the schedules restart then.
void pause_show(bool paused);
// The pacing figures for --stats.
void print_pacing_stats();

} // namespace vantrose
