// The stripe transfer primitives with AVX2: 32 pixels a step, their colours looked up in the
// palette as it stands when the transfer starts, the four stripe rows of a group blended at once.
#include <immintrin.h>

#include "runtime/transfer_paths.h"

namespace vantrose {

namespace {

enum class Mode { copy, blend, keyed };

// A byte pattern for even and odd columns.
inline __m256i columns(uint8_t even, uint8_t odd) {
    return _mm256_set1_epi16(static_cast<int16_t>(odd << 8 | even));
}

// Four palette words, of the four pixels at `s`. Loads into lanes: faster than a gather on some
// processors, never slower.
inline __m128i words4(const uint8_t* s, const uint32_t* words) {
    uint32_t four;
    __builtin_memcpy(&four, s, 4);
    const __m128i v = _mm_cvtsi32_si128(static_cast<int>(words[four & 0xFF]));
    return _mm_insert_epi32(
        _mm_insert_epi32(_mm_insert_epi32(v, static_cast<int>(words[(four >> 8) & 0xFF]), 1),
                         static_cast<int>(words[(four >> 16) & 0xFF]), 2),
        static_cast<int>(words[four >> 24]), 3);
}

// The new levels of 32 pixels on the four rows of their group: even columns red, green, blue on
// rows 0..2, odd columns on rows 1..3 (the bytes a pixel does not own are zero).
inline void levels(const uint8_t* s, const uint32_t* words, __m256i (&rows)[4]) {
    // Per lane of four pixels p0..p3 (words red, green, blue, 0): row 0 p0.r - p2.r -, row 1
    // p0.g p1.r p2.g p3.r, row 2 p0.b p1.g p2.b p3.g, row 3 - p1.b - p3.b.
    const __m256i order = _mm256_setr_epi8(0, -1, 8, -1, 1, 4, 9, 12, 2, 5, 10, 13, -1, 6, -1, 14,
                                           0, -1, 8, -1, 1, 4, 9, 12, 2, 5, 10, 13, -1, 6, -1, 14);
    // Vector i holds pixels 4i..4i + 3 and 16 + 4i..16 + 4i + 3: the transposition below then
    // leaves every row in column order.
    __m256i v[4];
    for (int i = 0; i < 4; ++i) {
        const __m256i colours =
            _mm256_set_m128i(words4(s + 16 + 4 * i, words), words4(s + 4 * i, words));
        v[i] = _mm256_shuffle_epi8(colours, order);
    }
    const __m256i t0 = _mm256_unpacklo_epi32(v[0], v[1]), t1 = _mm256_unpackhi_epi32(v[0], v[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(v[2], v[3]), t3 = _mm256_unpackhi_epi32(v[2], v[3]);
    rows[0] = _mm256_unpacklo_epi64(t0, t2);
    rows[1] = _mm256_unpackhi_epi64(t0, t2);
    rows[2] = _mm256_unpacklo_epi64(t1, t3);
    rows[3] = _mm256_unpackhi_epi64(t1, t3);
}

// One stripe row's 32 bytes: the level copied, or (3 x old level + level) / 4 in byte arithmetic
// on the old byte's level bits (`bits`), with the mark set again. Bytes under `kept` stay.
template <Mode mode, bool partial>
inline void put_row(uint8_t* out, __m256i level, __m256i bits, __m256i mark, __m256i kept) {
    __m256i* o = reinterpret_cast<__m256i*>(out);
    __m256i v;
    if constexpr (mode == Mode::copy) {
        v = _mm256_or_si256(level, mark);
    } else {
        const __m256i old = _mm256_and_si256(_mm256_loadu_si256(o), bits);
        const __m256i sum = _mm256_add_epi8(_mm256_add_epi8(old, _mm256_add_epi8(old, old)), level);
        v = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(sum, 2), _mm256_set1_epi8(0x3F)),
                            mark);
    }
    if constexpr (partial || mode == Mode::keyed)
        v = _mm256_blendv_epi8(v, _mm256_loadu_si256(o), kept);
    _mm256_storeu_si256(o, v);
}

template <Mode mode>
void stripe_pass(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    alignas(32) uint32_t table[256];
    snapshot_palette(palette, table);
    const __m256i odd = columns(0, 0xFF), even = columns(0xFF, 0);
    uint8_t* group = screen;
    for (int g = 0; g < stripe_groups; ++g, group += 3 * stripe_row_bytes) {
        const uint8_t* source = frame + stripe_row_bytes * stripe_source_row(g);
        for (int c = 0; c < stripe_row_bytes; c += 32) {
            __m256i level[4];
            levels(source + c, table, level);
            __m256i transparent = _mm256_setzero_si256();
            if constexpr (mode == Mode::keyed) {
                const __m256i index =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + c));
                transparent = _mm256_cmpeq_epi8(index, transparent);
            }
            uint8_t* out = group + c;
            put_row<mode, true>(out, level[0], even, _mm256_setzero_si256(),
                                _mm256_or_si256(transparent, odd));
            out += stripe_row_bytes;
            put_row<mode, false>(out, level[1], columns(63, 0xFF), columns(64, 0), transparent);
            out += stripe_row_bytes;
            put_row<mode, false>(out, level[2], columns(127, 63), columns(128, 64), transparent);
            out += stripe_row_bytes;
            put_row<mode, true>(out, level[3], columns(0, 127), columns(0, 128),
                                _mm256_or_si256(transparent, even));
        }
    }
}

} // namespace

void stripe_copy_avx2(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::copy>(frame, palette, screen);
}

void stripe_blend_avx2(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::blend>(frame, palette, screen);
}

void stripe_blend_keyed_avx2(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::keyed>(frame, palette, screen);
}

} // namespace vantrose
