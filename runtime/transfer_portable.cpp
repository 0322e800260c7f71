// The stripe transfer primitives in plain C++, for any processor: the reference for the vector
// paths. Every palette byte is read at the moment its pixel is transferred.
#include "runtime/transfer_paths.h"

namespace vantrose {

namespace {

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

// Even columns use rows 0..2 of the group, odd columns rows 1..3.
template <Mode mode>
void stripe_pass(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    uint8_t* group = screen;
    for (int g = 0; g < stripe_groups; ++g, group += 3 * stripe_row_bytes) {
        const uint8_t* source = frame + stripe_row_bytes * stripe_source_row(g);
        uint8_t* row0 = group;
        uint8_t* row1 = group + stripe_row_bytes;
        uint8_t* row2 = group + 2 * stripe_row_bytes;
        uint8_t* row3 = group + 3 * stripe_row_bytes;
        for (int c = 0; c < stripe_row_bytes; c += 2) {
            put_pixel<mode>(row0 + c, row1 + c, row2 + c, source[c], palette);
            put_pixel<mode>(row1 + c + 1, row2 + c + 1, row3 + c + 1, source[c + 1], palette);
        }
    }
}

} // namespace

void stripe_copy_portable(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::copy>(frame, palette, screen);
}

void stripe_blend_portable(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::blend>(frame, palette, screen);
}

void stripe_blend_keyed_portable(const uint8_t* frame, const uint8_t* palette, uint8_t* screen) {
    stripe_pass<Mode::keyed>(frame, palette, screen);
}

} // namespace vantrose
