// The converters in plain C++, for any processor: the reference for the vector paths.
#include <cstring>

#include "shell/present_paths.h"

namespace vantrose {

namespace {

// Two pixels a step: one 64-bit load of the old pixels keeps their fourth bytes.
void hires_row(const uint8_t* source, uint32_t* row, const uint8_t* pal32) {
    constexpr uint64_t fourth_bytes = 0xFF000000FF000000ull;
    uint64_t* out = reinterpret_cast<uint64_t*>(row);
    for (int x = 0; x < hires_width; x += 8, source += 8, out += 4) {
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

// One staggered row: columns 4x, 4x+1 from `left`, columns 4x+2, 4x+3 from `right`, both read at
// source column 2x.
template <int L, int R>
void stripe_row(Dots<L, R>, uint32_t* out, const uint8_t* left, const uint8_t* right) {
    for (int x = 0; x < stripe_cells; ++x, out += 4) {
        const uint32_t a = dot(left[2 * x], L), b = dot(right[2 * x], R);
        put_colours(out[0], a), put_colours(out[1], a), put_colours(out[2], b),
            put_colours(out[3], b);
    }
}

// One flat row: all four columns of a cell from source column 2x; a cleared row is written whole.
template <int S> void flat_row(Dot<S>, uint32_t* out, const uint8_t* source, bool cleared) {
    for (int x = 0; x < stripe_cells; ++x, out += 4) {
        const uint32_t a = dot(source[2 * x], S);
        for (int c = 0; c < 4; ++c) {
            if (cleared)
                out[c] = a;
            else
                put_colours(out[c], a);
        }
    }
}

} // namespace

void hires_portable(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                    const uint8_t* pal32) {
    for (int k = 0; k < count; ++k) {
        if (rows[k] >= 0)
            hires_row(picture + rows[k] * hires_width, frame + k * hires_width, pal32);
    }
}

void stripes_portable(const uint8_t* s, uint32_t* top) {
    stagger_stripes(s, top, [](auto dots, auto... row) { stripe_row(dots, row...); });
}

void stripes_flat_portable(const uint8_t* s, uint32_t* top, int cleared) {
    flat_stripes(s, top, cleared, [](auto dot, auto... row) { flat_row(dot, row...); });
}

} // namespace vantrose
