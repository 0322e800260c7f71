// Shared helpers of the mapping-table effect tests: synthetic inputs, checksums, PNG views.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrose::maps_test {

// FNV-1a over a byte range: the golden values of the effect frames.
uint64_t checksum(const uint8_t* bytes, size_t size);

// Deterministic noise bytes from a seed (integer only, the same on every machine).
void fill_noise(uint8_t* bytes, size_t size, uint32_t seed);

// Fills every row 3k + 2 of a 320 x 200 frame with `marker` and returns true if they all still
// hold it; used to see that an effect leaves the rows the transfer never reads alone.
void mark_skipped_rows(uint8_t* frame, uint8_t marker);
bool skipped_rows_hold(const uint8_t* frame, uint8_t marker);

// A smooth 6-bit palette (three offset ramps) for looking at frames.
std::vector<uint8_t> view_palette();

// Writes a width x height picture of palette indices through a 6-bit palette as an RGB PNG
// into the folder named by VANTROSE_PNG_DIR; does nothing when it is not set.
void write_png(const std::string& name, const uint8_t* pixels, int width, int height,
               const uint8_t* palette);

} // namespace vantrose::maps_test
