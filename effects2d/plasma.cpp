#include "effects2d/plasma.h"

#include "runtime/buffers.h"

namespace vantrose {

uint8_t* map_source = nullptr;
uint8_t* map_target = nullptr;

namespace {

// Rising, falling, rising again, one step every two entries; four 64s wrap to 0.
constexpr PlasmaState start_state() {
    PlasmaState state{};
    for (int i = 0; i < 256; ++i) {
        const int j = i / 2;
        const int value = j < 32 ? 33 + j : j < 96 ? 95 - j : j - 95;
        state.ramp_table[i] = static_cast<uint8_t>(value);
    }
    return state;
}

// Advances the stored phases, builds plasma_row and rebuilds the whole texture.
void build_plasma(PlasmaState& state, uint8_t phase1_step) {
    state.phase1 = static_cast<uint8_t>(state.phase1 + phase1_step);
    state.phase2 = static_cast<uint8_t>(state.phase2 + 5);
    state.phase3 = static_cast<uint8_t>(state.phase3 + 5);
    state.phase4 = static_cast<uint8_t>(state.phase4 - 3);

    // Running copies, advanced before each entry; filled 0, 255, 254, ..., 1.
    uint8_t p1 = state.phase1, p2 = state.phase2, p3 = state.phase3, p4 = state.phase4;
    const uint8_t* ramp = state.ramp_table;
    for (int n = 0; n < 256; ++n) {
        p1 = static_cast<uint8_t>(p1 + 6);
        p2 = static_cast<uint8_t>(p2 - 3);
        p3 = static_cast<uint8_t>(p3 - 5);
        p4 = static_cast<uint8_t>(p4 + 3);
        state.plasma_row[(256 - n) & 255] =
            static_cast<uint8_t>(ramp[p3] + ramp[p1] + ramp[p2] + ramp[p4]);
    }

    // Texel (r, c) is the floor of the mean of row[255 - r] and row[255 - c].
    uint8_t reversed[256];
    for (int c = 0; c < 256; ++c) reversed[c] = state.plasma_row[255 - c];
    uint8_t* texel = map_source;
    for (int r = 0; r < 256; ++r) {
        const uint8_t a = reversed[r];
        for (int c = 0; c < 256; ++c) {
            const uint8_t b = reversed[c];
            texel[c] = static_cast<uint8_t>((a & b) + ((a ^ b) >> 1));
        }
        texel += 256;
    }
}

} // namespace

PlasmaState plasma_shear_state = start_state();
PlasmaState plasma_fold_state = start_state();
PlasmaState plasma_displace_state = start_state();

void plasma_shear_frame() {
    PlasmaState& state = plasma_shear_state;
    build_plasma(state, static_cast<uint8_t>(-4));
    // Column byte only; the row byte of this routine's offset stays as it is.
    state.plasma_offset = static_cast<uint16_t>((state.plasma_offset & 0xff00) |
                                                ((state.plasma_offset + 2) & 0x00ff));

    const uint16_t offset = state.plasma_offset;
    const uint8_t* row = state.plasma_row;
    const uint8_t* texture = map_source;
    for (int k = 0; k < 67; ++k) {
        for (int y = 3 * k; y < 3 * k + 2; ++y) {
            const uint16_t* entry = map_table + y * 320;
            uint8_t* out = map_target + y * 320;
            for (int x = 0; x < 320; x += 2) {
                const uint16_t m = static_cast<uint16_t>(entry[x] + offset);
                const uint32_t v = m >> 8;
                const uint32_t u = (m + row[v]) & 255; // no carry into the row
                const uint32_t o = (v << 8) | u;
                out[x] = texture[o];
                out[x + 1] = texture[(o + 1) & 0xffff];
            }
        }
    }
}

void plasma_fold_frame() {
    PlasmaState& state = plasma_fold_state;
    build_plasma(state, static_cast<uint8_t>(-4));
    // Column byte +2 and row byte +1, each wrapping on its own.
    const uint16_t column = static_cast<uint8_t>(state.plasma_offset + 2);
    const uint16_t row_byte = static_cast<uint8_t>((state.plasma_offset >> 8) + 1);
    state.plasma_offset = static_cast<uint16_t>((row_byte << 8) | column);

    const uint16_t offset = state.plasma_offset;
    const uint8_t* ramp = state.ramp_table;
    const uint8_t* texture = map_source;
    for (int k = 0; k < 67; ++k) {
        for (int y = 3 * k; y < 3 * k + 2; ++y) {
            const uint16_t* entry = map_table + y * 320;
            uint8_t* out = map_target + y * 320;
            for (int x = 0; x < 320; x += 2) {
                const uint16_t m = static_cast<uint16_t>(entry[x] + offset);
                const uint32_t v = m >> 8;
                const uint32_t v2 = (v + ramp[v]) & 255;
                const uint32_t u2 = (m + 2 * v2) & 255;
                const uint32_t o = (v2 << 8) | u2;
                out[x] = texture[o];
                out[x + 1] = texture[(o + 1) & 0xffff];
            }
        }
    }
}

void plasma_displace_frame() {
    PlasmaState& state = plasma_displace_state;
    build_plasma(state, static_cast<uint8_t>(-10));

    const uint8_t* texture = map_source;
    for (int k = 0; k < 67; ++k) {
        for (int y = 3 * k; y < 3 * k + 2; ++y) {
            const uint16_t* entry = map_table + y * 320;
            uint8_t* out = map_target + y * 320;
            // Groups of four pixels from two map entries; the displaced entries' bytes are
            // the colours.
            for (int x = 0; x < 320; x += 4) {
                for (int half = 0; half < 2; ++half) {
                    const uint32_t e = entry[x + half];
                    const uint32_t t = texture[e];
                    const uint32_t displaced = (e + t + (t >> 3) * 256) & 0xffff;
                    out[x + 2 * half] = static_cast<uint8_t>(displaced);
                    out[x + 2 * half + 1] = static_cast<uint8_t>(displaced >> 8);
                }
            }
        }
    }
}

} // namespace vantrose
