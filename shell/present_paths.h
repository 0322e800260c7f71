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
