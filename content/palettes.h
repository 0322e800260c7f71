// Palettes of 6-bit levels and the show's colour themes.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "content/raster.h"

namespace vantrose {

// 256 entries of red, green, blue, each 0..63.
using Palette = std::array<uint8_t, 768>;

// A picture or texture together with the palette it is made for.
struct Art {
    Indexed image;
    Palette palette{};
};

struct Stop {
    float at; // 0..1 along the ramp
    Rgb colour;
};
using Stops = std::vector<Stop>;

// 6-bit level of a 0..1 value, rounded.
uint8_t level(float v);
void set_entry(Palette& p, int index, Rgb c);
Rgb entry(const Palette& p, int index);
Bytes palette_bytes(const Palette& p);
// Colour of a gradient through the stops at t (0..1, clamped).
Rgb gradient(const Stops& stops, float t);
// Entries first..first+count-1 run through the stops from the first to the last.
void put_ramp(Palette& p, int first, int count, const Stops& stops);
// Entries first..first+count-1 run through the stops `repeats` times. With a last stop equal to
// the first, the end joins the start and rotating the palette moves the colours smoothly.
void put_cycle(Palette& p, int first, int count, const Stops& stops, int repeats = 1);

// The show's themes: copper and bronze, deep blue and violet, fire, ice. Each is a ramp from
// dark to bright.
namespace theme {
extern const Stops copper;
extern const Stops bronze;
extern const Stops night; // deep blue and violet
extern const Stops fire;
extern const Stops ice;
} // namespace theme

} // namespace vantrose
