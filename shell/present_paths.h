// The converters' variants per processor path (present_*.cpp), and the dot helpers they share.
#pragma once
#include <cstdint>

namespace vantrose {

constexpr int stripe_groups_shown = 133; // stripe groups of three rows on screen
constexpr int stripe_cells = 160;        // 4-pixel cells a row
constexpr int stripe_pitch = 320;        // bytes a stripe row
constexpr int hires_width = 640;

enum DotShift { blue_dot = 0, green_dot = 8, red_dot = 16 };

// The converters write blue, green and red; the fourth byte of a pixel is never written.
constexpr uint32_t fourth_byte = 0xFF000000u;

// Local to each file: the variant files are compiled for other processors, and a shared inline
// copy could end up compiled for one the machine lacks.
namespace {

inline void put_colours(uint32_t& pixel, uint32_t colours) {
    pixel = (pixel & fourth_byte) | colours;
}

// A level shown on screen: level x 4 kept in 8 bits, which drops the 64 and 128 marks.
inline uint32_t dot(uint8_t level, int shift) {
    return static_cast<uint32_t>(static_cast<uint8_t>(level << 2)) << shift;
}

// pal32 (red, green, blue bytes) one entry a word, red lowest, for the vector lookups.
inline void palette_words(const uint8_t* pal32, uint32_t* table) {
    for (int i = 0; i < 256; ++i) {
        table[i] = pal32[3 * i] | static_cast<uint32_t>(pal32[3 * i + 1]) << 8 |
                   static_cast<uint32_t>(pal32[3 * i + 2]) << 16;
    }
}

// The dot colours of a screen row's left and right halves of each cell, or of a whole flat row.
template <int Left, int Right> struct Dots {};
template <int Shift> struct Dot {};

// Which stripe rows each screen row shows, the same on every path; each path draws the rows:
// `row(Dots<L, R>{}, out, left, right)`. Of group g's stripe rows s, s + 1, s + 2 (in pitches),
// screen row 3g shows s + 2 | the group above's s (left as it is in the first group), 3g + 1
// shows s + 1 | s + 2, 3g + 2 shows s | s + 1.
template <class Row> inline void stagger_stripes(const uint8_t* s, uint32_t* top, Row row) {
    for (int g = 0; g < stripe_groups_shown; ++g, s += 3 * stripe_pitch) {
        uint32_t* out = top + 3 * g * hires_width;
        const uint8_t* b = s + 2 * stripe_pitch;
        if (g > 0) row(Dots<blue_dot, red_dot>{}, out, b, s - 3 * stripe_pitch);
        row(Dots<green_dot, blue_dot>{}, out + hires_width, s + stripe_pitch, b);
        row(Dots<red_dot, green_dot>{}, out + 2 * hires_width, s, s + stripe_pitch);
    }
}

// The flat picture: screen rows 3g, 3g + 1, 3g + 2 show stripe rows s + 2, s + 1, s whole;
// `row(Dot<S>{}, out, source, cleared)`, where rows below `cleared` have zero fourth bytes.
template <class Row>
inline void flat_stripes(const uint8_t* s, uint32_t* top, int cleared, Row row) {
    for (int g = 0; g < stripe_groups_shown; ++g, s += 3 * stripe_pitch) {
        const int r = 3 * g;
        row(Dot<green_dot>{}, top + r * hires_width, s + 2 * stripe_pitch, r < cleared);
        row(Dot<blue_dot>{}, top + (r + 1) * hires_width, s + stripe_pitch, r + 1 < cleared);
        row(Dot<red_dot>{}, top + (r + 2) * hires_width, s, r + 2 < cleared);
    }
}

} // namespace

void hires_portable(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                    const uint8_t* pal32);
void stripes_portable(const uint8_t* stripes, uint32_t* top);
void stripes_flat_portable(const uint8_t* stripes, uint32_t* top, int cleared);

void stripes_sse2(const uint8_t* stripes, uint32_t* top);
void stripes_flat_sse2(const uint8_t* stripes, uint32_t* top, int cleared);

void hires_avx2(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                const uint8_t* pal32);
void stripes_avx2(const uint8_t* stripes, uint32_t* top);
void stripes_flat_avx2(const uint8_t* stripes, uint32_t* top, int cleared);

void hires_vbmi(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                const uint8_t* pal32);

void hires_simd128(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                   const uint8_t* pal32);
void stripes_simd128(const uint8_t* stripes, uint32_t* top);
void stripes_flat_simd128(const uint8_t* stripes, uint32_t* top, int cleared);

} // namespace vantrose
