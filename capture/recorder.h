// --record: the show on the virtual clock, encoded by ffmpeg frame by frame, with its sound.
// One ffmpeg takes the raw picture on one pipe and the raw sound on another and writes the file
// in a single pass; the pipes are fed without blocking, so neither can hold the other up.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrose {

// The encoding a file name asks for: .mkv lossless, .mp4 / .m4v / .mov compact; both H.264 RGB.
enum class RecordFormat { none, lossless, compact };
RecordFormat record_format(const std::string& path);

// Before the show: finds ffmpeg, checks that the output can be written, starts the encoder for
// 640 x screen_height frames at the virtual refresh and plugs record_frame into frame_sink.
// False with the reason in `error`; then nothing was started and no file was left.
bool recorder_open(std::string& error);

// The frame sink: one presented frame (blue, green, red, unused) and its stereo samples.
// A write that fails (ffmpeg stopped, disk full) is kept for recorder_close and posts the quit.
void record_frame(const uint8_t* frame, int height, const int16_t* audio, size_t frames);

// In shutdown: lets ffmpeg finish and puts the file in place, or reports why not and removes
// what was made. True when there was nothing to record or the file is complete.
bool recorder_close();

// The exit status once the show has ended (`complete`: it played to its end). Playing: 1 after
// the whole show, 0 after a quit. Recording: 0 when the file holds what was asked for (the whole
// show, or the --frames asked for), 1 when a quit cut it short (the file is finalised all the
// same).
int show_end_status(bool complete);

} // namespace vantrose
