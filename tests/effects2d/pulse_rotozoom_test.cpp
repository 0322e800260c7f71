#include <gtest/gtest.h>

#include "effects2d/layered_rotozoom.h"
#include "effects2d/pulse_rotozoom.h"
#include "tests/effects2d/rotozoom_helpers.h"

using namespace vantrose;
using namespace rotozoom_test;

namespace {

// The pulse at angle a: zoom cos(a), about texel (128, 128).
Bytes reference_pulse(const Bytes& texture, int angle) {
    Bytes frame(64000, 0xEE);
    reference_grid(texture, frame.data(), 32768, 32768, angle, table_entry(256.0, false, angle),
                   false);
    return frame;
}

// The closing angles from the phase, written out: phase + floor(sin / 4), modulo 256.
int closing_angle_after(int calls) {
    if (calls == 0) return 0;
    const int phase = calls % 256;
    const int swing = static_cast<int>(std::floor(table_entry(256.0, true, phase) / 4.0));
    return ((phase + swing) % 256 + 256) % 256;
}

} // namespace

TEST(PulseRotozoom, InitStartsAtAQuarterTurn) {
    PulseRotozoomState s{200};
    pulse_rotozoom_init(s);
    EXPECT_EQ(s.angle, 64);
}

TEST(PulseRotozoom, FirstFrameIsTheCentreTexelEverywhere) {
    Bytes texture = pattern_texture();
    texture[128 * 256 + 128] = 0xC3;
    PulseRotozoomState s;
    pulse_rotozoom_init(s);
    Bytes frame(64000, 0);
    pulse_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(frame, Bytes(64000, 0xC3));
    EXPECT_EQ(s.angle, 68);
}

TEST(PulseRotozoom, SecondFrameHasZoomMinus25) {
    ASSERT_EQ(rot_cos[68], -25);
    const Bytes texture = pattern_texture();
    PulseRotozoomState s;
    pulse_rotozoom_init(s);
    Bytes frame(64000);
    pulse_rotozoom_frame(s, texture.data(), frame.data());
    pulse_rotozoom_frame(s, texture.data(), frame.data());
    Bytes want(64000, 0xEE);
    reference_grid(texture, want.data(), 32768, 32768, 68, -25, false);
    EXPECT_EQ(frame, want);
}

TEST(PulseRotozoom, StepsAtAngleZeroAndHalfTurnAreEqual) {
    // (256, 0) per column, (0, 307) per row: one texel a cell across, 1.2 down.
    Bytes u_texture(65536), v_texture(65536);
    for (int k = 0; k < 65536; ++k) {
        u_texture[k] = static_cast<uint8_t>(k & 0xFF);
        v_texture[k] = static_cast<uint8_t>(k >> 8);
    }
    for (uint8_t angle : {uint8_t{0}, uint8_t{128}}) {
        PulseRotozoomState s{angle};
        Bytes us(64000), vs(64000);
        pulse_rotozoom_frame(s, u_texture.data(), us.data());
        s.angle = angle;
        pulse_rotozoom_frame(s, v_texture.data(), vs.data());
        for (int j = 0; j < 100; ++j) {
            for (int i = 0; i < 160; ++i) {
                ASSERT_EQ(us[640 * j + 2 * i + 321], 128 - 80 + i + 1) << int(angle);
                ASSERT_EQ(vs[640 * j + 2 * i], (32768 - 50 * 307 + j * 307) >> 8) << int(angle);
            }
        }
    }
}

TEST(PulseRotozoom, AdvancesFourStepsAFrameAndWraps) {
    PulseRotozoomState s{252};
    const Bytes texture(65536, 3);
    Bytes frame(64000);
    pulse_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(s.angle, 0);
    for (int n = 0; n < 64; ++n) pulse_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(s.angle, 0);
}

TEST(PulseRotozoom, ReadsOnlyTheFirst65536BytesOfTheTexture) {
    // buf3 is 80000 bytes; the rest of it is never sampled.
    Bytes texture(65536, 0x11);
    texture.resize(80000, 0x99);
    for (int angle = 0; angle < 256; angle += 3) {
        PulseRotozoomState s{static_cast<uint8_t>(angle)};
        Bytes frame(64000);
        pulse_rotozoom_frame(s, texture.data(), frame.data());
        ASSERT_EQ(frame, Bytes(64000, 0x11)) << angle;
    }
}

TEST(ClosingRotozoom, StartsAtRestAndWobblesThroughTheSine) {
    EXPECT_EQ(closing_rotozoom_state.angle, 0);
    EXPECT_EQ(closing_rotozoom_state.phase, 0);
    ClosingRotozoomState s{0, 0};
    const Bytes texture(65536, 1);
    Bytes frame(64000);
    const int first_six[6] = {0, 2, 5, 7, 10, 12};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(s.angle, first_six[n]) << n;
        closing_rotozoom_frame(s, texture.data(), frame.data());
    }
    for (int n = 6; n < 600; ++n) {
        ASSERT_EQ(s.angle, closing_angle_after(n)) << n;
        ASSERT_EQ(s.phase, n % 256) << n;
        closing_rotozoom_frame(s, texture.data(), frame.data());
    }
}

TEST(ClosingRotozoom, NegativeSwingRoundsDown) {
    // rot_sin[129] = -6: the swing is -2, not -1.
    ClosingRotozoomState s{0, 128};
    const Bytes texture(65536, 1);
    Bytes frame(64000);
    closing_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(s.phase, 129);
    EXPECT_EQ(s.angle, 127);
}

TEST(ClosingRotozoom, DrawsThePulseAtItsAngle) {
    const Bytes texture = pattern_texture();
    ClosingRotozoomState s{0, 0};
    Bytes frame(64000);
    for (int n = 0; n < 4; ++n) closing_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(frame, reference_pulse(texture, 7));
}

// ---------------------------------------------------------------------------------------------
// Golden frames, checked against the per-pixel reference as well.

TEST(PulseRotozoomGolden, Frames1And2And100) {
    const Bytes texture = pattern_texture();
    PulseRotozoomState s;
    pulse_rotozoom_init(s);
    Bytes frame(64000, 0);
    Checksums sums;
    for (int n = 1; n <= 100; ++n) {
        pulse_rotozoom_frame(s, texture.data(), frame.data());
        if (n <= 2 || n == 100) {
            SCOPED_TRACE(n);
            EXPECT_EQ(frame, reference_pulse(texture, (64 + 4 * (n - 1)) % 256));
        }
        if (n <= 2 || n == 100) sums[n] = checksum(frame.data(), 64000);
        if (n == 8 || n == 12) {
            write_png("pulse_rotozoom_" + std::to_string(n), frame.data(), 320, 200,
                      test_palette());
        }
    }
    EXPECT_EQ(sums, (Checksums{{1, 14306799554650170661ull},
                               {2, 6830028129054189413ull},
                               {100, 16456544748989918373ull}}));
}

TEST(ClosingRotozoomGolden, Frames1And2And100) {
    const Bytes texture = pattern_texture();
    ClosingRotozoomState s{0, 0};
    Bytes frame(64000, 0);
    Checksums sums;
    for (int n = 1; n <= 100; ++n) {
        closing_rotozoom_frame(s, texture.data(), frame.data());
        if (n <= 2 || n == 100) {
            SCOPED_TRACE(n);
            EXPECT_EQ(frame, reference_pulse(texture, closing_angle_after(n - 1)));
        }
        if (n <= 2 || n == 100) sums[n] = checksum(frame.data(), 64000);
    }
    EXPECT_EQ(sums, (Checksums{{1, 4710116287252248353ull},
                               {2, 4772142123920662041ull},
                               {100, 10254092473563492529ull}}));
}
