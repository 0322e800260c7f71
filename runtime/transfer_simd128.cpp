// The stripe transfer primitives with WebAssembly SIMD128: 16 pixels a step, their colours looked
// up in the palette as it stands when the transfer starts, the four stripe rows of a group
// blended at once.
#include <wasm_simd128.h>

#include "runtime/transfer_paths.h"

namespace vantrose {

namespace {

enum class Mode { copy, blend, keyed };

// A byte pattern for even and odd columns.
inline v128_t columns(uint8_t even, uint8_t odd) {
    return wasm_i16x8_splat(static_cast<int16_t>(odd << 8 | even));
}

// The new levels of 16 pixels on the four rows of their group: even columns red, green, blue on
// rows 0..2, odd columns on rows 1..3 (the bytes a pixel does not own are zero).
inline void levels(const uint8_t* s, const uint32_t* words, v128_t (&rows)[4]) {
    v128_t v[4];
    for (int i = 0; i < 4; ++i, s += 4) {
        uint32_t four;
        __builtin_memcpy(&four, s, 4);
        const v128_t colours = wasm_u32x4_make(words[four & 0xFF], words[(four >> 8) & 0xFF],
                                               words[(four >> 16) & 0xFF], words[four >> 24]);
        // Four pixels p0..p3 (words red, green, blue, 0): row 0 p0.r - p2.r -, row 1
        // p0.g p1.r p2.g p3.r, row 2 p0.b p1.g p2.b p3.g, row 3 - p1.b - p3.b.
        v[i] = wasm_i8x16_swizzle(
            colours, wasm_i8x16_make(0, 16, 8, 16, 1, 4, 9, 12, 2, 5, 10, 13, 16, 6, 16, 14));
    }
    const v128_t t0 = wasm_i32x4_shuffle(v[0], v[1], 0, 4, 1, 5);
    const v128_t t1 = wasm_i32x4_shuffle(v[0], v[1], 2, 6, 3, 7);
    const v128_t t2 = wasm_i32x4_shuffle(v[2], v[3], 0, 4, 1, 5);
    const v128_t t3 = wasm_i32x4_shuffle(v[2], v[3], 2, 6, 3, 7);
    rows[0] = wasm_i32x4_shuffle(t0, t2, 0, 1, 4, 5);
    rows[1] = wasm_i32x4_shuffle(t0, t2, 2, 3, 6, 7);
    rows[2] = wasm_i32x4_shuffle(t1, t3, 0, 1, 4, 5);
    rows[3] = wasm_i32x4_shuffle(t1, t3, 2, 3, 6, 7);
}

// One stripe row's 16 bytes: the level copied, or (3 x old level + level) / 4 in byte arithmetic
// on the old byte's level bits (`bits`), with the mark set again. Bytes under `kept` stay.
template <Mode mode, bool partial>
inline void put_row(uint8_t* out, v128_t level, v128_t bits, v128_t mark, v128_t kept) {
    v128_t v;
    if constexpr (mode == Mode::copy) {
        v = wasm_v128_or(level, mark);
    } else {
        const v128_t old = wasm_v128_and(wasm_v128_load(out), bits);
        // 2 x old by a shift within bytes: a sum of three would be made a byte multiply, which
        // SIMD128 lacks and the compiler then does a lane at a time.
        const v128_t twice = wasm_v128_and(wasm_i16x8_shl(old, 1), wasm_i8x16_splat(0xFE));
        const v128_t sum = wasm_i8x16_add(wasm_i8x16_add(twice, old), level);
        v = wasm_v128_or(wasm_v128_and(wasm_u16x8_shr(sum, 2), wasm_i8x16_splat(0x3F)), mark);
    }
    if constexpr (partial || mode == Mode::keyed)
        v = wasm_v128_bitselect(wasm_v128_load(out), v, kept);
    wasm_v128_store(out, v);
}

template <Mode mode>
void stripe_pass(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    uint32_t words[256];
    snapshot_palette(palette, words);
    const v128_t odd = columns(0, 0xFF), even = columns(0xFF, 0);
    uint8_t* group = screen;
    for (int g = 0; g < stripe_groups; ++g, group += 3 * stripe_row_bytes) {
        const uint8_t* source = frame + stripe_row_bytes * stripe_source_row(g);
        for (int c = 0; c < stripe_row_bytes; c += 16) {
            v128_t level[4];
            levels(source + c, words, level);
            v128_t transparent = wasm_i8x16_splat(0);
            if constexpr (mode == Mode::keyed)
                transparent = wasm_i8x16_eq(wasm_v128_load(source + c), transparent);
            uint8_t* out = group + c;
            put_row<mode, true>(out, level[0], even, wasm_i8x16_splat(0),
                                wasm_v128_or(transparent, odd));
            out += stripe_row_bytes;
            put_row<mode, false>(out, level[1], columns(63, 0xFF), columns(64, 0), transparent);
            out += stripe_row_bytes;
            put_row<mode, false>(out, level[2], columns(127, 63), columns(128, 64), transparent);
            out += stripe_row_bytes;
            put_row<mode, true>(out, level[3], columns(0, 127), columns(0, 128),
                                wasm_v128_or(transparent, even));
        }
    }
}

} // namespace

void stripe_copy_simd128(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::copy>(frame, palette, screen);
}

void stripe_blend_simd128(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::blend>(frame, palette, screen);
}

void stripe_blend_keyed_simd128(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::keyed>(frame, palette, screen);
}

} // namespace vantrose
