#include "runtime/transfer.h"

#include "runtime/buffers.h"
#include "runtime/shared_byte.h"

namespace vantrose {

uint8_t* layer_a_frame;
uint8_t* layer_a_pal;
uint8_t* layer_b_frame;
uint8_t* layer_b_pal;

namespace {

constexpr int stripe_groups = 134;
constexpr int stripe_row = 320;

// Palettes may be stepped by the timer thread while a transfer reads them: one relaxed atomic
// byte load per colour (a plain byte load on the machine, but race-free).
inline uint8_t palette_byte(const uint8_t* palette, unsigned i) {
    return load_shared_byte(palette[i]);
}

// Three parts old, one part new, in byte arithmetic: never wraps for 6-bit levels.
inline uint8_t blend(unsigned old_level, unsigned level) {
    return static_cast<uint8_t>(static_cast<uint8_t>(3 * old_level + level) >> 2);
}

enum class Mode { copy, blend, keyed };

// One pixel's three bytes, red, green + 64 and blue + 128, on three consecutive stripe rows.
template <Mode mode>
inline void put_pixel(uint8_t* red, uint8_t* green, uint8_t* blue, unsigned index,
                      const uint8_t* palette) {
    if constexpr (mode == Mode::keyed)
        if (index == 0) return;
    const unsigned e = 3 * index;
    const uint8_t r = palette_byte(palette, e);
    const uint8_t g = palette_byte(palette, e + 1);
    const uint8_t b = palette_byte(palette, e + 2);
    if constexpr (mode == Mode::copy) {
        *red = r;
        *green = g | 64;
        *blue = b | 128;
    } else {
        *red = blend(*red, r);
        *green = blend(*green & 63u, g) | 64;
        *blue = blend(*blue & 127u, b) | 128;
    }
}

// Group g shows source row 3 * (g div 2) + (g mod 2): rows 2, 5, 8, ... are never shown.
// Even columns use rows 0..2 of the group, odd columns rows 1..3.
template <Mode mode> void stripe_pass(const uint8_t* frame, const uint8_t* palette) {
    uint8_t* group = rgb_screen;
    for (int g = 0; g < stripe_groups; ++g, group += 3 * stripe_row) {
        const uint8_t* source = frame + stripe_row * (3 * (g >> 1) + (g & 1));
        uint8_t* row0 = group;
        uint8_t* row1 = group + stripe_row;
        uint8_t* row2 = group + 2 * stripe_row;
        uint8_t* row3 = group + 3 * stripe_row;
        for (int c = 0; c < stripe_row; c += 2) {
            put_pixel<mode>(row0 + c, row1 + c, row2 + c, source[c], palette);
            put_pixel<mode>(row1 + c + 1, row2 + c + 1, row3 + c + 1, source[c + 1], palette);
        }
    }
}

} // namespace

void stripe_copy(const uint8_t* frame, const uint8_t* palette) {
    stripe_pass<Mode::copy>(frame, palette);
}

void stripe_blend(const uint8_t* frame, const uint8_t* palette) {
    stripe_pass<Mode::blend>(frame, palette);
}

void stripe_blend_keyed(const uint8_t* frame, const uint8_t* palette) {
    stripe_pass<Mode::keyed>(frame, palette);
}

void transfer_a_b() {
    stripe_blend(layer_a_frame, layer_a_pal);
    stripe_blend(layer_b_frame, layer_b_pal);
}

void transfer_b() {
    stripe_blend(layer_b_frame, layer_b_pal);
}

void transfer_a_over_b() {
    stripe_blend(layer_b_frame, layer_b_pal);
    stripe_blend_keyed(layer_a_frame, layer_a_pal);
}

void transfer_b_over_a() {
    stripe_blend_keyed(layer_b_frame, layer_b_pal);
    stripe_blend(layer_a_frame, layer_a_pal);
}

void transfer_a_copy() {
    stripe_copy(layer_a_frame, layer_a_pal);
}

} // namespace vantrose
