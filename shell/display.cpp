#include "shell/display.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "capture/dump.h"
#include "capture/stats.h"
#include "capture/trace.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "runtime/buffers.h"
#include "shell/clock.h"
#include "shell/startup.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrose {

uint8_t* true_color_frame = nullptr;
uint8_t pal32[256 * 3] = {};
// Off: the portable hires conversion even where the vector one could run (tests compare them).
bool hires_vector_path = true;

// Grey ramp at 224..255 (red = green = blue); the badge uses 229..251.
// clang-format off
const uint8_t badge_palette[256 * 3] = {
#define G(v) v, v, v
    // 0..223: not used by the badge
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 224..255
    G(63), G(61), G(58), G(56), G(54), G(52), G(50), G(48),
    G(46), G(44), G(41), G(39), G(37), G(35), G(33), G(31),
    G(29), G(27), G(24), G(22), G(20), G(18), G(16), G(14),
    G(12), G(10), G(7), G(5), G(3), G(1), G(0), G(63),
#undef G
};
// clang-format on
static_assert(sizeof(badge_palette) == 768);

namespace {

constexpr int groups = 133;       // stripe groups of three rows
constexpr int cells = 160;        // 4-pixel cells a row
constexpr int stripe_pitch = 320; // bytes a stripe row
constexpr size_t flat_clear_bytes = 1024000;

enum Shift { blue = 0, green = 8, red = 16 };

// The converters write blue, green and red; the fourth byte of a pixel is never written.
constexpr uint32_t fourth_byte = 0xFF000000u;
inline void put(uint32_t& pixel, uint32_t colours) {
    pixel = (pixel & fourth_byte) | colours;
}

uint32_t* frame_row(int row) {
    return reinterpret_cast<uint32_t*>(true_color_frame) + static_cast<size_t>(row) * frame_width;
}

// A level shown on screen: level x 4 kept in 8 bits, which drops the 64 and 128 marks.
inline uint32_t dot(uint8_t level, int shift) {
    return static_cast<uint32_t>(static_cast<uint8_t>(level << 2)) << shift;
}

#if defined(__SSE2__)
// Eight source levels (even bytes of 16) as dot values: low four cells, high four cells.
template <int S> inline void dots8(const uint8_t* source, __m128i& low, __m128i& high) {
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    v = _mm_and_si128(_mm_slli_epi16(v, 2), _mm_set1_epi16(0x00FC));
    if constexpr (S == red) {
        low = _mm_unpacklo_epi16(zero, v);
        high = _mm_unpackhi_epi16(zero, v);
    } else {
        if constexpr (S == green) v = _mm_slli_epi16(v, 8);
        low = _mm_unpacklo_epi16(v, zero);
        high = _mm_unpackhi_epi16(v, zero);
    }
}

// Four pixels of colour bytes; each pixel's fourth byte stays as it was, or is zero where the
// flat path has just cleared it.
template <bool Cleared = false> inline void store_colours(__m128i* out, __m128i v) {
    if constexpr (Cleared) {
        _mm_storeu_si128(out, v);
    } else {
        const __m128i kept = _mm_and_si128(_mm_loadu_si128(out), _mm_set1_epi32(fourth_byte));
        _mm_storeu_si128(out, _mm_or_si128(kept, v));
    }
}

inline void store_pairs(__m128i* out, __m128i a, __m128i b) {
    const __m128i lo = _mm_unpacklo_epi32(a, b); // a0 b0 a1 b1
    const __m128i hi = _mm_unpackhi_epi32(a, b); // a2 b2 a3 b3
    store_colours(out + 0, _mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 1, 0, 0)));
    store_colours(out + 1, _mm_shuffle_epi32(lo, _MM_SHUFFLE(3, 3, 2, 2)));
    store_colours(out + 2, _mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 1, 0, 0)));
    store_colours(out + 3, _mm_shuffle_epi32(hi, _MM_SHUFFLE(3, 3, 2, 2)));
}

template <bool Cleared> inline void store_quads(__m128i* out, __m128i a) {
    const __m128i lo = _mm_unpacklo_epi32(a, a); // a0 a0 a1 a1
    const __m128i hi = _mm_unpackhi_epi32(a, a); // a2 a2 a3 a3
    store_colours<Cleared>(out + 0, _mm_unpacklo_epi64(lo, lo));
    store_colours<Cleared>(out + 1, _mm_unpackhi_epi64(lo, lo));
    store_colours<Cleared>(out + 2, _mm_unpacklo_epi64(hi, hi));
    store_colours<Cleared>(out + 3, _mm_unpackhi_epi64(hi, hi));
}
#endif

// One staggered row: columns 4x, 4x+1 from `left`, columns 4x+2, 4x+3 from `right`, both read at
// source column 2x.
template <int L, int R> void stripe_row(uint32_t* out, const uint8_t* left, const uint8_t* right) {
#if defined(__SSE2__)
    __m128i* o = reinterpret_cast<__m128i*>(out);
    for (int x = 0; x < cells; x += 8, left += 16, right += 16, o += 8) {
        __m128i a0, a1, b0, b1;
        dots8<L>(left, a0, a1);
        dots8<R>(right, b0, b1);
        store_pairs(o, a0, b0);
        store_pairs(o + 4, a1, b1);
    }
#else
    for (int x = 0; x < cells; ++x, out += 4) {
        const uint32_t a = dot(left[2 * x], L), b = dot(right[2 * x], R);
        put(out[0], a), put(out[1], a), put(out[2], b), put(out[3], b);
    }
#endif
}

// The first and last rows of the stripe picture, where only one half of each cell is written.
void stripe_half_row(uint32_t* out, const uint8_t* source, int shift, int first_column) {
    for (int x = 0; x < cells; ++x) {
        const uint32_t v = dot(source[2 * x], shift);
        put(out[4 * x + first_column], v);
        put(out[4 * x + first_column + 1], v);
    }
}

// One row of the flat pattern: all four columns of a cell from source column 2x. `Cleared` rows
// lie in the area the flat path clears first, so their fourth bytes are zero.
template <int S, bool Cleared> void flat_row_of(uint32_t* out, const uint8_t* source) {
#if defined(__SSE2__)
    __m128i* o = reinterpret_cast<__m128i*>(out);
    for (int x = 0; x < cells; x += 8, source += 16, o += 8) {
        __m128i a0, a1;
        dots8<S>(source, a0, a1);
        store_quads<Cleared>(o, a0);
        store_quads<Cleared>(o + 4, a1);
    }
#else
    for (int x = 0; x < cells; ++x, out += 4) {
        const uint32_t a = dot(source[2 * x], S);
        for (int c = 0; c < 4; ++c) {
            if (Cleared)
                out[c] = a;
            else
                put(out[c], a);
        }
    }
#endif
}

template <int S> void flat_row(int row, const uint8_t* source) {
    if (row < 400)
        flat_row_of<S, true>(frame_row(row), source);
    else
        flat_row_of<S, false>(frame_row(row), source);
}

// One row of a hires picture through pal32. The fourth byte of each pixel is kept.
using HiresRow = void (*)(const uint8_t* source, uint32_t* row);

void hires_row_portable(const uint8_t* source, uint32_t* row) {
    // Two pixels a step: one 64-bit load of the old pixels keeps their fourth bytes.
    constexpr uint64_t fourth_bytes = 0xFF000000FF000000ull;
    uint64_t* out = reinterpret_cast<uint64_t*>(row);
    for (int x = 0; x < frame_width; x += 8, source += 8, out += 4) {
        uint64_t eight;
        std::memcpy(&eight, source, 8);
        uint64_t p[4];
        for (int i = 0; i < 4; ++i, eight >>= 16) {
            const uint8_t* a = pal32 + 3 * (eight & 0xFF);
            const uint8_t* b = pal32 + 3 * ((eight >> 8) & 0xFF);
            p[i] = (a[0] | static_cast<uint32_t>(a[1]) << 8 | static_cast<uint32_t>(a[2]) << 16) |
                   static_cast<uint64_t>(b[0] | static_cast<uint32_t>(b[1]) << 8 |
                                         static_cast<uint32_t>(b[2]) << 16)
                       << 32;
        }
        for (int i = 0; i < 4; ++i) out[i] = (out[i] & fourth_bytes) | p[i];
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VANTROSE_HIRES_VBMI 1
// GCC's own permute intrinsics read an undefined placeholder register.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// 64 pixels a step on processors with byte permutes: pal32 as three 256-byte tables, one table
// look-up per colour in registers, colour bytes stored under a mask.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void hires_row_vbmi(const uint8_t* source,
                                                                           uint32_t* row) {
    alignas(64) uint8_t table[3][256];
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c) table[c][i] = pal32[3 * i + c];
    }
    __m512i t[3][4];
    for (int c = 0; c < 3; ++c) {
        for (int q = 0; q < 4; ++q) t[c][q] = _mm512_load_si512(table[c] + 64 * q);
    }
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
    for (int x = 0; x < frame_width; x += 64) {
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
#endif

int stripe_base() {
    return screen_height == 480 ? 40 : 0;
}

// While a scene skip runs frames unseen, only the edge rows are converted. Every converter writes
// rows base + 1 .. base + 398 whole (the badge lies inside them too), so the next frame shown
// covers those; the rows around them keep what earlier frames left there: the stripe path's two
// half rows, and in the 480-line mode the borders that only pictures and the flat path's
// clearing reach.
bool edge_row(int row) {
    const int base = stripe_base();
    return row <= base || row >= base + 3 * groups;
}

void ddraw_error(const char* text) {
    std::fprintf(stderr, "DDRAW ERROR: %s\n", text);
    platform->message_box("DDRAW ERROR", text);
}

bool setup_failed(const char* text) {
    ddraw_error(text);
    platform->destroy_window();
    return false;
}

} // namespace

void build_pal32(const uint8_t* palette) {
    for (int i = 0; i < 256; ++i) {
        pal32[3 * i + 0] = static_cast<uint8_t>(palette[3 * i + 2] << 2);
        pal32[3 * i + 1] = static_cast<uint8_t>(palette[3 * i + 1] << 2);
        pal32[3 * i + 2] = static_cast<uint8_t>(palette[3 * i + 0] << 2);
    }
}

void present_hires(const uint8_t* picture) {
    HiresRow convert_row = hires_row_portable;
#if defined(VANTROSE_HIRES_VBMI)
    static const bool vbmi = __builtin_cpu_supports("avx512vbmi") != 0;
    if (vbmi && hires_vector_path) convert_row = hires_row_vbmi;
#endif
    const bool edges_only = skipping_scenes();
    if (screen_height == 480) {
        for (int y = 0; y < frame_rows; ++y) {
            if (!edges_only || edge_row(y)) convert_row(picture + y * frame_width, frame_row(y));
        }
        return;
    }
    // 400 lines from 480: drop 25 rows in every 150.
    int y = 0;
    uint32_t accumulator = 0;
    for (int k = 0; k < 400; ++k) {
        if (!edges_only || edge_row(k)) convert_row(picture + y * frame_width, frame_row(k));
        accumulator += 6;
        y += (accumulator / 5) % 5 == 4 ? 2 : 1;
    }
}

void convert_stripes() {
    const int base = stripe_base();
    if (skipping_scenes()) {
        // The two half rows are all of this frame that a later frame may leave in place.
        stripe_half_row(frame_row(base), rgb_screen + 2 * stripe_pitch, blue, 0);
        stripe_half_row(frame_row(base + 3 * groups), rgb_screen + 3 * (groups - 1) * stripe_pitch,
                        red, 2);
        return;
    }
    const uint8_t* s = rgb_screen;
    for (int g = 0; g < groups; ++g, s += 3 * stripe_pitch) {
        const uint8_t* r = s;
        const uint8_t* gr = s + stripe_pitch;
        const uint8_t* b = s + 2 * stripe_pitch;
        const int row = base + 3 * g;
        // The right half of the group's first row shows the red of the group above.
        if (g == 0)
            stripe_half_row(frame_row(row), b, blue, 0);
        else
            stripe_row<blue, red>(frame_row(row), b, s - 3 * stripe_pitch);
        stripe_row<green, blue>(frame_row(row + 1), gr, b);
        stripe_row<red, green>(frame_row(row + 2), r, gr);
    }
    // The red of the last group, one row below it.
    stripe_half_row(frame_row(base + 3 * groups), s - 3 * stripe_pitch, red, 2);
}

void convert_stripes_flat() {
    const int base = stripe_base();
    // Bytes 0..1,023,999 are cleared and then converted over: the rows of that range that the
    // conversion covers get their zeros from the conversion itself.
    for (int row = 0; row < 400; ++row) {
        if (row < base || row >= base + 3 * groups) {
            std::memset(frame_row(row), 0, frame_width * 4);
        }
    }
    static_assert(flat_clear_bytes == 400 * frame_width * 4);
    if (skipping_scenes()) {
        flat_row<green>(base, rgb_screen + 2 * stripe_pitch);
        return;
    }
    const uint8_t* s = rgb_screen;
    for (int g = 0; g < groups; ++g, s += 3 * stripe_pitch) {
        const int row = base + 3 * g;
        flat_row<green>(row, s + 2 * stripe_pitch);
        flat_row<blue>(row + 1, s + stripe_pitch);
        flat_row<red>(row + 2, s);
    }
}

void draw_title_badge() {
    const int top = stripe_base() + 20;
    for (int j = 0; j < title_badge_height; ++j) {
        uint8_t* out = true_color_frame + (static_cast<size_t>(top + j) * frame_width + 400) * 4;
        const uint8_t* source = title_badge + j * title_badge_width;
        for (int i = 0; i < title_badge_width; ++i, out += 8) {
            const uint8_t v = source[i];
            if (v == 0) continue;
            const uint8_t grey = static_cast<uint8_t>(badge_palette[3 * v] << 2);
            out[0] = out[1] = out[2] = grey;
            out[4] = out[5] = out[6] = grey;
        }
    }
}

void present_frame() {
    show_frame();
    pump_messages();
}

void present_stripes() {
    convert_stripes();
    if (!skipping_scenes()) draw_title_badge();
    show_frame();
    pump_messages();
}

void present_stripes_flat() {
    convert_stripes_flat();
    if (!skipping_scenes()) draw_title_badge();
    show_frame();
    pump_messages();
}

void show_frame() {
    if (skipping_scenes()) {
        // Frames that a scene skip runs unseen are neither paced nor shown.
        frame_presented();
        return;
    }
    pace_frame();
    if (app_active != 0) {
        platform->present(true_color_frame, screen_height);
        note_presented();
    }
    frame_presented();
}

void save_presented_frame() {
    if (frame_count() == 0 || !true_color_frame) return;
    char name[40];
    std::snprintf(name, sizeof name, "vantrose-%06" PRIu64 ".png", frame_count() - 1);
    if (platform->offer_frame(true_color_frame, screen_height, name)) return;
    std::error_code failed;
    const std::filesystem::path path = std::filesystem::absolute(name, failed);
    if (write_png(name, true_color_frame, screen_height))
        std::fprintf(stderr, "vantrose: frame written to %s\n", path.string().c_str());
    else
        std::fprintf(stderr, "vantrose: cannot write %s\n", path.string().c_str());
}

bool create_display_object() {
    if (!platform->create_display_object()) {
        ddraw_error("DirectDrawCreate error");
        return false;
    }
    return true;
}

bool setup_display() {
    at_shutdown([](bool) {
        if (!display_usable()) return;
        release_display();
        platform->show_cursor(true);
    });
    platform->show_cursor(false);
    // A window that failed to open fails the next step, as a null window would.
    const bool have_window = platform->create_window(screen_height);
    if (!have_window || !platform->set_cooperative_level()) {
        return setup_failed("SetCooperativeLevel error");
    }
    if (!platform->set_display_mode(screen_height)) return setup_failed("SetDisplayMode error");
    if (!platform->create_surface(screen_height)) return setup_failed("CreateSurface error");
    if (!platform->get_back_buffer()) return setup_failed("GetAttachedSurface error");
    return true;
}

void release_display() {
    platform->release_display();
}

} // namespace vantrose
