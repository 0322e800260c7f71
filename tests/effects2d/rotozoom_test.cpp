// The rotozoom family (layered, pulse, closing) against the per-pixel grid reference.
#include <gtest/gtest.h>

#include "effects2d/layered_rotozoom.h"
#include "effects2d/pulse_rotozoom.h"
#include "tests/effects2d/support.h"

using namespace vantrose;
using namespace vantrose::effects_test;

namespace {

// Noise with index-0 holes, so the layers' transparency shows.
Bytes holed_texture() {
    Bytes t = noise(65536, 11);
    for (uint8_t& b : t)
        if (b < 40) b = 0;
    return t;
}

// Angles and zooms drawn by call n (from 1) after init, from the cycle directly: a layer at
// place L in cycle c came in as the far layer of cycle c - L at 26 * (c - L), or is start layer
// L - c when c < L; every call turns it one step and zooms it 55 nearer.
void drawn_by_call(int n, int angle[5], int zoom[5]) {
    const int c = (n - 1) / 10, k = (n - 1) % 10;
    for (int layer = 0; layer < 5; ++layer) {
        const int at_cycle_start =
            layer <= c ? 26 * (c - layer) + 10 * layer : 16 * (layer - c) + 10 * c;
        angle[layer] = (at_cycle_start + k) % 256;
        zoom[layer] = 2750 - 550 * layer - 55 * k;
    }
}

Bytes reference_pulse(const Bytes& texture, int angle) {
    Bytes frame(64000, 0xEE);
    reference_grid(texture, frame.data(), 32768, 32768, angle, table_entry(256.0, false, angle),
                   false);
    return frame;
}

} // namespace

TEST(RotationTables, KnownValues) {
    const struct {
        const int16_t* table;
        int index, value;
    } cases[] = {{rot_sin, 1, 6},      {rot_sin, 3, 19},       {rot_sin, 64, 256},
                 {rot_sin, 192, -256}, {rot_cos, 2, 256},      {rot_cos, 3, 255},
                 {rot_cos, 64, 0},     {rot_cos, 68, -25},     {rot_cos_y, 0, 307},
                 {rot_cos_y, 7, 303},  {rot_cos_y, 128, -307}, {rot_nsin_y, 1, -8},
                 {rot_nsin_y, 3, -23}, {rot_nsin_y, 64, -307}, {rot_sin, 129, -6},
                 {rot_sin, 229, -158}, {rot_sin, 230, -153}}; // -157, -152 with the full pi
    for (const auto& c : cases) EXPECT_EQ(c.table[c.index], c.value) << c.index;
}

TEST(SampleGrid, MatchesTheReferenceOverRandomAnglesZoomsAndBases) {
    const Bytes texture = holed_texture();
    const Bytes draws = noise(64, 5);
    for (int k = 0; k < 16; ++k) {
        const int angle = draws[4 * k];
        const int extremes[3] = {32767, -32768, 55};
        const int zoom = k < 3 ? extremes[k] : (draws[4 * k + 1] << 8 | draws[4 * k + 2]) - 32768;
        const uint16_t u = static_cast<uint16_t>(4099 * k),
                       v = static_cast<uint16_t>(65000 - 77 * k);
        Bytes fast(64000 + 64, 0x5A), slow(64000 + 64, 0x5A);
        sample_grid(texture.data(), fast.data(), u, v, static_cast<uint8_t>(angle),
                    static_cast<int16_t>(zoom));
        reference_grid(texture, slow.data(), u, v, angle, zoom, false);
        ASSERT_EQ(fast, slow) << "angle " << angle << " zoom " << zoom;
    }
}

TEST(LayeredRotozoom, FollowsItsLayerCycleAndDrawsEveryLayer) {
    const Bytes texture = holed_texture();
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    Bytes frame(64000);
    for (int n = 1; n <= 700; ++n) {
        int angle[5], zoom[5];
        drawn_by_call(n, angle, zoom);
        for (int k = 0; k < 5; ++k) {
            ASSERT_EQ(s.layer[k].angle, angle[k]) << "call " << n << " layer " << k;
            ASSERT_EQ(s.layer[k].zoom, zoom[k]) << "call " << n << " layer " << k;
        }
        layered_rotozoom_frame(s, texture.data(), frame.data());
        // The tenth call draws the nearest layer at zoom 55, the eleventh the shifted layers.
        if (n <= 2 || n == 10 || n == 11 || n % 97 == 0) {
            Bytes want(64000, 0xEE);
            for (int k = 0; k < 5; ++k)
                reference_grid(texture, want.data(), 0, 0, angle[k], zoom[k], k != 0);
            ASSERT_EQ(frame, want) << "call " << n;
        }
    }
}

TEST(PulseRotozoom, OpensOnTheCentreTexelThenFollowsTheReference) {
    // 80000 bytes like buf3: only the first 65536 are ever read.
    Bytes texture = holed_texture();
    texture[128 * 256 + 128] = 0xC3;
    texture.resize(80000, 0x99);
    PulseRotozoomState s{200};
    pulse_rotozoom_init(s);
    EXPECT_EQ(s.angle, 64);
    Bytes frame(64000);
    pulse_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(frame, Bytes(64000, 0xC3)) << "zoom cos(64) = 0: the centre texel everywhere";
    for (int n = 2; n <= 130; ++n) {
        pulse_rotozoom_frame(s, texture.data(), frame.data());
        if (n <= 3 || n % 9 == 0) {
            ASSERT_EQ(frame, reference_pulse(texture, (64 + 4 * (n - 1)) % 256)) << n;
        }
    }
    EXPECT_EQ(s.angle, (64 + 4 * 130) % 256);
}

TEST(ClosingRotozoom, WobblesThroughTheSineAndDrawsThePulseAtItsAngle) {
    EXPECT_EQ(closing_rotozoom_state.angle, 0);
    EXPECT_EQ(closing_rotozoom_state.phase, 0);
    const Bytes texture = holed_texture();
    ClosingRotozoomState s{0, 0};
    Bytes frame(64000);
    for (int n = 0; n < 600; ++n) {
        // angle = phase + floor(sin(phase) / 4)
        const int phase = n % 256, swing = int(std::floor(table_entry(256.0, true, phase) / 4.0));
        const int want = n == 0 ? 0 : (phase + swing + 256) % 256;
        ASSERT_EQ(s.angle, want) << n;
        closing_rotozoom_frame(s, texture.data(), frame.data());
        if (n < 3 || n % 61 == 0) {
            ASSERT_EQ(frame, reference_pulse(texture, want)) << n;
        }
    }
    // rot_sin[129] = -6: the swing is -2, not -1.
    s = {0, 128};
    closing_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(s.angle, 127);
}
