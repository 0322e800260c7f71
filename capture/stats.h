// Per-frame bookkeeping for --dump, --stats and --trace: PNG dumps, scene timings, checksums.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vantrose {

// Starts the wall clock of the show (just before the script runs).
void stats_begin();
// One presented frame (0-based index): dumps it when due, adds it to the current scene's figures.
void note_frame(const uint8_t* frame, int height, uint64_t index);
// The --stats and --trace figures on stderr (called by shutdown).
void print_stats();
// Forgets every figure (tests).
void reset_stats();

// FNV-1a over the frame's 32-bit words in sixteen lanes, folded into `hash`.
uint64_t frame_checksum(const uint8_t* bytes, size_t size, uint64_t hash);
constexpr uint64_t checksum_seed = 0xcbf29ce484222325ull;

// The checksum of every frame presented so far in a scene (0 before the first scene start).
uint64_t scene_checksum(int scene);

} // namespace vantrose
