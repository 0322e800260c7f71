// The stripe converters with SSE2, which every x86-64 processor has: 16 pixels a step.
#include <emmintrin.h>

#include "shell/present_paths.h"

namespace vantrose {

namespace {

// Eight source levels (even bytes of 16) as dot values: low four cells, high four cells.
template <int S> inline void dots8(const uint8_t* source, __m128i& low, __m128i& high) {
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    v = _mm_and_si128(_mm_slli_epi16(v, 2), _mm_set1_epi16(0x00FC));
    if constexpr (S == red_dot) {
        low = _mm_unpacklo_epi16(zero, v);
        high = _mm_unpackhi_epi16(zero, v);
    } else {
        if constexpr (S == green_dot) v = _mm_slli_epi16(v, 8);
        low = _mm_unpacklo_epi16(v, zero);
        high = _mm_unpackhi_epi16(v, zero);
    }
}

// Four pixels of colour bytes; each pixel's fourth byte stays as it was, or is zero where the
// flat path has cleared it.
inline void store_colours(__m128i* out, __m128i v, bool cleared) {
    if (!cleared)
        v = _mm_or_si128(_mm_and_si128(_mm_loadu_si128(out), _mm_set1_epi32(fourth_byte)), v);
    _mm_storeu_si128(out, v);
}

inline void store_pairs(__m128i* out, __m128i a, __m128i b) {
    const __m128i lo = _mm_unpacklo_epi32(a, b); // a0 b0 a1 b1
    const __m128i hi = _mm_unpackhi_epi32(a, b); // a2 b2 a3 b3
    store_colours(out + 0, _mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 1, 0, 0)), false);
    store_colours(out + 1, _mm_shuffle_epi32(lo, _MM_SHUFFLE(3, 3, 2, 2)), false);
    store_colours(out + 2, _mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 1, 0, 0)), false);
    store_colours(out + 3, _mm_shuffle_epi32(hi, _MM_SHUFFLE(3, 3, 2, 2)), false);
}

inline void store_quads(__m128i* out, __m128i a, bool cleared) {
    const __m128i lo = _mm_unpacklo_epi32(a, a); // a0 a0 a1 a1
    const __m128i hi = _mm_unpackhi_epi32(a, a); // a2 a2 a3 a3
    store_colours(out + 0, _mm_unpacklo_epi64(lo, lo), cleared);
    store_colours(out + 1, _mm_unpackhi_epi64(lo, lo), cleared);
    store_colours(out + 2, _mm_unpacklo_epi64(hi, hi), cleared);
    store_colours(out + 3, _mm_unpackhi_epi64(hi, hi), cleared);
}

// One staggered row: columns 4x, 4x+1 from `left`, columns 4x+2, 4x+3 from `right`.
template <int L, int R>
void stripe_row(Dots<L, R>, uint32_t* out, const uint8_t* left, const uint8_t* right) {
    __m128i* o = reinterpret_cast<__m128i*>(out);
    for (int x = 0; x < stripe_cells; x += 8, left += 16, right += 16, o += 8) {
        __m128i a0, a1, b0, b1;
        dots8<L>(left, a0, a1);
        dots8<R>(right, b0, b1);
        store_pairs(o, a0, b0);
        store_pairs(o + 4, a1, b1);
    }
}

template <int S> void flat_row(Dot<S>, uint32_t* out, const uint8_t* source, bool cleared) {
    __m128i* o = reinterpret_cast<__m128i*>(out);
    for (int x = 0; x < stripe_cells; x += 8, source += 16, o += 8) {
        __m128i a0, a1;
        dots8<S>(source, a0, a1);
        store_quads(o, a0, cleared);
        store_quads(o + 4, a1, cleared);
    }
}

} // namespace

void stripes_sse2(const uint8_t* s, uint32_t* top) {
    stagger_stripes(s, top, [](auto dots, auto... row) { stripe_row(dots, row...); });
}

void stripes_flat_sse2(const uint8_t* s, uint32_t* top, int cleared) {
    flat_stripes(s, top, cleared, [](auto dot, auto... row) { flat_row(dot, row...); });
}

} // namespace vantrose
