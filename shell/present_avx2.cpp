// The converters with AVX2: the hires picture eight pixels a step through a word-a-colour pal32,
// the stripe dots 32 pixels a step.
#include <immintrin.h>

#include "shell/present_paths.h"

namespace vantrose {

namespace {

// Eight pixels of colour bytes; each pixel's fourth byte stays as it was, or is zero where the
// flat path has cleared it.
inline void store_colours(uint32_t* out, __m256i v, bool cleared) {
    __m256i* o = reinterpret_cast<__m256i*>(out);
    if (!cleared) {
        const __m256i kept = _mm256_and_si256(_mm256_loadu_si256(o),
                                              _mm256_set1_epi32(static_cast<int>(fourth_byte)));
        v = _mm256_or_si256(kept, v);
    }
    _mm256_storeu_si256(o, v);
}

// Four pal32 words, of the four pixels in the bytes of `four`, first pixel lowest.
inline __m128i words4(uint32_t four, const uint32_t* words) {
    const __m128i v = _mm_cvtsi32_si128(static_cast<int>(words[four & 0xFF]));
    return _mm_insert_epi32(
        _mm_insert_epi32(_mm_insert_epi32(v, static_cast<int>(words[(four >> 8) & 0xFF]), 1),
                         static_cast<int>(words[(four >> 16) & 0xFF]), 2),
        static_cast<int>(words[four >> 24]), 3);
}

// Eight source levels (the even bytes of 16) as dot values, one a word: cells 0, 2, 4, 6 in the
// low lane and 1, 3, 5, 7 in the high one, so that the unpacks below, which work within lanes,
// give whole cells in column order.
template <int S> inline __m256i dots8(const uint8_t* source) {
    const __m128i order = _mm_setr_epi8(0, -1, 4, -1, 8, -1, 12, -1, 2, -1, 6, -1, 10, -1, 14, -1);
    __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)), order);
    v = _mm_and_si128(_mm_slli_epi16(v, 2), _mm_set1_epi16(0x00FC));
    return _mm256_slli_epi32(_mm256_cvtepu16_epi32(v), S);
}

// One staggered row: columns 4x, 4x+1 from `left`, columns 4x+2, 4x+3 from `right`.
template <int L, int R>
void stripe_row(Dots<L, R>, uint32_t* out, const uint8_t* left, const uint8_t* right) {
    for (int x = 0; x < stripe_cells; x += 8, left += 16, right += 16, out += 32) {
        const __m256i a = dots8<L>(left), b = dots8<R>(right);
        const __m256i low = _mm256_unpacklo_epi32(a, b);  // a0 b0 a2 b2 | a1 b1 a3 b3
        const __m256i high = _mm256_unpackhi_epi32(a, b); // a4 b4 a6 b6 | a5 b5 a7 b7
        store_colours(out, _mm256_shuffle_epi32(low, _MM_SHUFFLE(1, 1, 0, 0)), false);
        store_colours(out + 8, _mm256_shuffle_epi32(low, _MM_SHUFFLE(3, 3, 2, 2)), false);
        store_colours(out + 16, _mm256_shuffle_epi32(high, _MM_SHUFFLE(1, 1, 0, 0)), false);
        store_colours(out + 24, _mm256_shuffle_epi32(high, _MM_SHUFFLE(3, 3, 2, 2)), false);
    }
}

template <int S> void flat_row(Dot<S>, uint32_t* out, const uint8_t* source, bool cleared) {
    for (int x = 0; x < stripe_cells; x += 8, source += 16, out += 32) {
        const __m256i a = dots8<S>(source);
        const __m256i low = _mm256_unpacklo_epi32(a, a);  // a0 a0 a2 a2 | a1 a1 a3 a3
        const __m256i high = _mm256_unpackhi_epi32(a, a); // a4 a4 a6 a6 | a5 a5 a7 a7
        store_colours(out, _mm256_unpacklo_epi64(low, low), cleared);
        store_colours(out + 8, _mm256_unpackhi_epi64(low, low), cleared);
        store_colours(out + 16, _mm256_unpacklo_epi64(high, high), cleared);
        store_colours(out + 24, _mm256_unpackhi_epi64(high, high), cleared);
    }
}

} // namespace

void hires_avx2(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                const uint8_t* pal32) {
    alignas(32) uint32_t table[256];
    palette_words(pal32, table);
    for (int k = 0; k < count; ++k) {
        if (rows[k] < 0) continue;
        const uint8_t* s = picture + rows[k] * hires_width;
        uint32_t* out = frame + k * hires_width;
        // Loads into lanes: on some processors a gather takes half as long again.
        for (int x = 0; x < hires_width; x += 8, s += 8) {
            uint64_t eight;
            __builtin_memcpy(&eight, s, 8);
            const __m128i low = words4(static_cast<uint32_t>(eight), table);
            const __m128i high = words4(static_cast<uint32_t>(eight >> 32), table);
            store_colours(out + x, _mm256_set_m128i(high, low), false);
        }
    }
}

void stripes_avx2(const uint8_t* s, uint32_t* top) {
    stagger_stripes(s, top, [](auto dots, auto... row) { stripe_row(dots, row...); });
}

void stripes_flat_avx2(const uint8_t* s, uint32_t* top, int cleared) {
    flat_stripes(s, top, cleared, [](auto dot, auto... row) { flat_row(dot, row...); });
}

} // namespace vantrose
