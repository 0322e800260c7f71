// The hires conversion with AVX-512 byte permutes: 64 pixels a step.
#include <immintrin.h>

#include "shell/present_paths.h"

namespace vantrose {

namespace {

// GCC's own permute intrinsics read an undefined placeholder register.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// pal32 as three 256-byte tables, one table look-up per colour in registers, colour bytes stored
// under a mask.
void hires_row(const uint8_t* source, uint32_t* row, const __m512i (&t)[3][4]) {
    // Unpacks work within 16-byte lanes; this order makes their output come out in pixel order.
    alignas(64) uint8_t order[64];
    for (int lane = 0; lane < 4; ++lane) {
        for (int k = 0; k < 4; ++k) {
            for (int j = 0; j < 4; ++j)
                order[16 * lane + 4 * k + j] = static_cast<uint8_t>(16 * k + 4 * lane + j);
        }
    }
    const __m512i permute = _mm512_load_si512(order);
    const __m512i zero = _mm512_setzero_si512();
    const __mmask64 colours = 0x7777777777777777ull;
    for (int x = 0; x < hires_width; x += 64) {
        const __m512i index = _mm512_permutexvar_epi8(permute, _mm512_loadu_si512(source + x));
        const __mmask64 upper = _mm512_movepi8_mask(index);
        __m512i channel[3];
        for (int c = 0; c < 3; ++c) {
            const __m512i low = _mm512_permutex2var_epi8(t[c][0], index, t[c][1]);
            const __m512i high = _mm512_permutex2var_epi8(t[c][2], index, t[c][3]);
            channel[c] = _mm512_mask_blend_epi8(upper, low, high);
        }
        const __m512i bg_low = _mm512_unpacklo_epi8(channel[0], channel[1]);
        const __m512i bg_high = _mm512_unpackhi_epi8(channel[0], channel[1]);
        const __m512i r_low = _mm512_unpacklo_epi8(channel[2], zero);
        const __m512i r_high = _mm512_unpackhi_epi8(channel[2], zero);
        _mm512_mask_storeu_epi8(row + x, colours, _mm512_unpacklo_epi16(bg_low, r_low));
        _mm512_mask_storeu_epi8(row + x + 16, colours, _mm512_unpackhi_epi16(bg_low, r_low));
        _mm512_mask_storeu_epi8(row + x + 32, colours, _mm512_unpacklo_epi16(bg_high, r_high));
        _mm512_mask_storeu_epi8(row + x + 48, colours, _mm512_unpackhi_epi16(bg_high, r_high));
    }
}
#pragma GCC diagnostic pop

} // namespace

void hires_vbmi(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                const uint8_t* pal32) {
    alignas(64) uint8_t table[3][256];
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c) table[c][i] = pal32[3 * i + c];
    }
    __m512i t[3][4];
    for (int c = 0; c < 3; ++c) {
        for (int q = 0; q < 4; ++q) t[c][q] = _mm512_load_si512(table[c] + 64 * q);
    }
    for (int k = 0; k < count; ++k) {
        if (rows[k] >= 0) hires_row(picture + rows[k] * hires_width, frame + k * hires_width, t);
    }
}

} // namespace vantrose
