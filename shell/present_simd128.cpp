// The converters with WebAssembly SIMD128: the hires picture four pixels a step through a
// word-a-colour pal32, the stripe dots 32 pixels a step.
#include <wasm_simd128.h>

#include "shell/present_paths.h"

namespace vantrose {

namespace {

// Four pixels of colour bytes; each pixel's fourth byte stays as it was, or is zero where the
// flat path has cleared it.
inline void store_colours(uint32_t* out, v128_t v, bool cleared) {
    if (!cleared)
        v = wasm_v128_or(wasm_v128_and(wasm_v128_load(out), wasm_i32x4_splat(fourth_byte)), v);
    wasm_v128_store(out, v);
}

// Eight source levels (the even bytes of 16) as dot values: low four cells, high four cells.
template <int S> inline void dots8(const uint8_t* source, v128_t& low, v128_t& high) {
    v128_t v = wasm_v128_load(source);
    v = wasm_v128_and(wasm_i16x8_shl(v, 2), wasm_i16x8_splat(0x00FC));
    low = wasm_i32x4_shl(wasm_u32x4_extend_low_u16x8(v), S);
    high = wasm_i32x4_shl(wasm_u32x4_extend_high_u16x8(v), S);
}

// Cells of four words each: a a b b.
inline void store_pairs(uint32_t* out, v128_t a, v128_t b) {
    store_colours(out + 0, wasm_i32x4_shuffle(a, b, 0, 0, 4, 4), false);
    store_colours(out + 4, wasm_i32x4_shuffle(a, b, 1, 1, 5, 5), false);
    store_colours(out + 8, wasm_i32x4_shuffle(a, b, 2, 2, 6, 6), false);
    store_colours(out + 12, wasm_i32x4_shuffle(a, b, 3, 3, 7, 7), false);
}

inline void store_quads(uint32_t* out, v128_t a, bool cleared) {
    store_colours(out + 0, wasm_i32x4_shuffle(a, a, 0, 0, 0, 0), cleared);
    store_colours(out + 4, wasm_i32x4_shuffle(a, a, 1, 1, 1, 1), cleared);
    store_colours(out + 8, wasm_i32x4_shuffle(a, a, 2, 2, 2, 2), cleared);
    store_colours(out + 12, wasm_i32x4_shuffle(a, a, 3, 3, 3, 3), cleared);
}

// One staggered row: columns 4x, 4x+1 from `left`, columns 4x+2, 4x+3 from `right`.
template <int L, int R>
void stripe_row(Dots<L, R>, uint32_t* out, const uint8_t* left, const uint8_t* right) {
    for (int x = 0; x < stripe_cells; x += 8, left += 16, right += 16, out += 32) {
        v128_t a0, a1, b0, b1;
        dots8<L>(left, a0, a1);
        dots8<R>(right, b0, b1);
        store_pairs(out, a0, b0);
        store_pairs(out + 16, a1, b1);
    }
}

template <int S> void flat_row(Dot<S>, uint32_t* out, const uint8_t* source, bool cleared) {
    for (int x = 0; x < stripe_cells; x += 8, source += 16, out += 32) {
        v128_t a0, a1;
        dots8<S>(source, a0, a1);
        store_quads(out, a0, cleared);
        store_quads(out + 16, a1, cleared);
    }
}

} // namespace

void hires_simd128(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                   const uint8_t* pal32) {
    uint32_t table[256];
    palette_words(pal32, table);
    for (int k = 0; k < count; ++k) {
        if (rows[k] < 0) continue;
        const uint8_t* s = picture + rows[k] * hires_width;
        uint32_t* out = frame + k * hires_width;
        for (int x = 0; x < hires_width; x += 4) {
            uint32_t four;
            __builtin_memcpy(&four, s + x, 4);
            const v128_t colours = wasm_u32x4_make(table[four & 0xFF], table[(four >> 8) & 0xFF],
                                                   table[(four >> 16) & 0xFF], table[four >> 24]);
            store_colours(out + x, colours, false);
        }
    }
}

void stripes_simd128(const uint8_t* s, uint32_t* top) {
    stagger_stripes(s, top, [](auto dots, auto... row) { stripe_row(dots, row...); });
}

void stripes_flat_simd128(const uint8_t* s, uint32_t* top, int cleared) {
    flat_stripes(s, top, cleared, [](auto dot, auto... row) { flat_row(dot, row...); });
}

} // namespace vantrose
