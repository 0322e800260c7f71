// The stripe transfer primitives' variants per processor path (transfer_*.cpp).
#pragma once
#include <cstdint>

#include "runtime/shared_byte.h"

namespace vantrose {

constexpr int stripe_groups = 134;
constexpr int stripe_row_bytes = 320;

// Local to each file: the variant files are compiled for other processors, and a shared inline
// copy could end up compiled for one the machine lacks.
namespace {

// Group g shows source row 3 * (g div 2) + (g mod 2): rows 2, 5, 8, ... are never shown.
inline int stripe_source_row(int g) {
    return 3 * (g >> 1) + (g & 1);
}

// The palette as it stands when a transfer starts, one entry a word (red, green, blue, 0): the
// vector paths look every pixel up in it. Each palette byte is read once, as the timer thread
// may be stepping it.
inline void snapshot_palette(const uint8_t* palette, uint32_t* words) {
    for (int i = 0; i < 256; ++i) {
        words[i] = load_shared_byte(palette[3 * i]) |
                   static_cast<uint32_t>(load_shared_byte(palette[3 * i + 1])) << 8 |
                   static_cast<uint32_t>(load_shared_byte(palette[3 * i + 2])) << 16;
    }
}

} // namespace

void stripe_copy_portable(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
void stripe_blend_portable(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
void stripe_blend_keyed_portable(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);

void stripe_copy_avx2(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
void stripe_blend_avx2(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
void stripe_blend_keyed_avx2(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);

void stripe_copy_simd128(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
void stripe_blend_simd128(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
void stripe_blend_keyed_simd128(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);

} // namespace vantrose
