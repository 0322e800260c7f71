#include <gtest/gtest.h>

#include <cstring>

#include "effects2d/layered_rotozoom.h"
#include "tests/effects2d/rotozoom_helpers.h"

using namespace vantrose;
using namespace rotozoom_test;

namespace {

// Texture holding a texel's own u (or v) coordinate, to read coordinates back from a frame.
Bytes coordinate_texture(bool v_axis) {
    Bytes t(65536);
    for (int k = 0; k < 65536; ++k) t[k] = static_cast<uint8_t>(v_axis ? k >> 8 : k & 0xFF);
    return t;
}

struct LayerValues {
    int angle[5];
    int zoom[5];
};

// Angles and zooms drawn by call n (from 1) after init, worked out from the cycle directly: a
// layer at place L in cycle c came in as the far layer of cycle c - L at 26 * (c - L), or is
// start layer L - c when c < L; every call turns it one step.
LayerValues drawn_by_call(int n) {
    const int c = (n - 1) / 10, k = (n - 1) % 10;
    LayerValues out{};
    for (int layer = 0; layer < 5; ++layer) {
        const int at_cycle_start =
            layer <= c ? 26 * (c - layer) + 10 * layer : 16 * (layer - c) + 10 * c;
        out.angle[layer] = (at_cycle_start + k) % 256;
        out.zoom[layer] = 2750 - 550 * layer - 55 * k;
    }
    return out;
}

Bytes reference_layered_frame(const Bytes& texture, const LayerValues& values) {
    Bytes frame(320 * 200, 0xEE);
    for (int layer = 0; layer < 5; ++layer) {
        reference_grid(texture, frame.data(), 0, 0, values.angle[layer], values.zoom[layer],
                       layer != 0);
    }
    return frame;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Rotation tables

TEST(RotationTables, EveryEntryIsTheNearestIntegerOfItsRule) {
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rot_sin[i], table_entry(256.0, true, i));
        EXPECT_EQ(rot_cos[i], table_entry(256.0, false, i));
        EXPECT_EQ(rot_cos_y[i], table_entry(307.2, false, i));
        EXPECT_EQ(rot_nsin_y[i], table_entry(-307.2, true, i));
    }
}

TEST(RotationTables, KnownValues) {
    EXPECT_EQ(rot_sin[0], 0);
    EXPECT_EQ(rot_sin[1], 6);
    EXPECT_EQ(rot_sin[2], 13);
    EXPECT_EQ(rot_sin[3], 19);
    EXPECT_EQ(rot_sin[64], 256);
    EXPECT_EQ(rot_sin[192], -256);
    EXPECT_EQ(rot_sin[229], -158); // -157 and -152 with the full pi
    EXPECT_EQ(rot_sin[230], -153);
    EXPECT_EQ(rot_cos[0], 256);
    EXPECT_EQ(rot_cos[1], 256);
    EXPECT_EQ(rot_cos[2], 256);
    EXPECT_EQ(rot_cos[3], 255);
    EXPECT_EQ(rot_cos[64], 0);
    EXPECT_EQ(rot_cos_y[0], 307);
    EXPECT_EQ(rot_cos_y[7], 303);
    EXPECT_EQ(rot_cos_y[64], 0);
    EXPECT_EQ(rot_cos_y[128], -307);
    EXPECT_EQ(rot_nsin_y[0], 0);
    EXPECT_EQ(rot_nsin_y[1], -8);
    EXPECT_EQ(rot_nsin_y[2], -15);
    EXPECT_EQ(rot_nsin_y[3], -23);
    EXPECT_EQ(rot_nsin_y[64], -307);
}

// ---------------------------------------------------------------------------------------------
// The grid walk

TEST(SampleGrid, FarLayerStepsAtAngleZero) {
    // Steps (2750, 0) per column and (0, 3297) per row; the first cell is one column step in.
    const Bytes u_texture = coordinate_texture(false), v_texture = coordinate_texture(true);
    Bytes us(64000), vs(64000);
    sample_grid(u_texture.data(), us.data(), 0, 0, 0, 2750, false);
    sample_grid(v_texture.data(), vs.data(), 0, 0, 0, 2750, false);
    for (int j = 0; j < 100; ++j) {
        for (int i = 0; i < 160; ++i) {
            const uint8_t u = static_cast<uint8_t>((65536 * 4 - 80 * 2750 + (i + 1) * 2750) >> 8);
            const uint8_t v =
                static_cast<uint8_t>(((65536 * 3 - 50 * 3297 + j * 3297) % 65536) >> 8);
            for (int p : {0, 1, 320, 321}) {
                ASSERT_EQ(us[640 * j + 2 * i + p], u) << i << "," << j;
                ASSERT_EQ(vs[640 * j + 2 * i + p], v) << i << "," << j;
            }
        }
    }
}

TEST(SampleGrid, MatchesPerPixelReferenceOverAnglesAndZooms) {
    const Bytes texture = pattern_texture();
    for (int angle : {0, 1, 37, 64, 100, 128, 191, 255}) {
        for (int zoom : {2750, 550, 55, -25, -2200, 32767}) {
            for (bool skip : {false, true}) {
                Bytes fast(64000, 0x5A), slow(64000, 0x5A);
                sample_grid(texture.data(), fast.data(), 0x1234, 0xFEDC,
                            static_cast<uint8_t>(angle), static_cast<int16_t>(zoom), skip);
                reference_grid(texture, slow.data(), 0x1234, 0xFEDC, angle, zoom, skip);
                ASSERT_EQ(fast, slow) << "angle " << angle << " zoom " << zoom << " skip " << skip;
            }
        }
    }
}

TEST(SampleGrid, IndexZeroIsSkippedOnlyWhenAsked) {
    const Bytes clear(65536, 0);
    Bytes frame(64000, 9);
    sample_grid(clear.data(), frame.data(), 0, 0, 10, 1000, true);
    EXPECT_EQ(frame, Bytes(64000, 9));
    sample_grid(clear.data(), frame.data(), 0, 0, 10, 1000, false);
    EXPECT_EQ(frame, Bytes(64000, 0));
}

TEST(SampleGrid, WritesNothingOutsideTheFrame) {
    const Bytes texture = pattern_texture();
    Bytes frame(64000 + 64, 0xAB);
    sample_grid(texture.data(), frame.data(), 0, 0, 77, -30000, false);
    for (int k = 64000; k < 64000 + 64; ++k) ASSERT_EQ(frame[k], 0xAB);
}

// ---------------------------------------------------------------------------------------------
// Layers, shift and instances

TEST(LayeredRotozoom, InitSetsTheStartLayers) {
    LayeredRotozoomState s{};
    std::memset(&s, 0x77, sizeof s);
    layered_rotozoom_init(s);
    const int angles[5] = {0, 16, 32, 48, 64}, zooms[5] = {2750, 2200, 1650, 1100, 550};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(s.layer[k].angle, angles[k]);
        EXPECT_EQ(s.layer[k].zoom, zooms[k]);
    }
    EXPECT_EQ(s.countdown, 10);
}

TEST(LayeredRotozoom, TenthCallDrawsZoom55AndEleventhTheShiftedLayers) {
    const Bytes texture = pattern_texture();
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    Bytes frame(64000);
    for (int n = 1; n <= 9; ++n) layered_rotozoom_frame(s, texture.data(), frame.data());
    EXPECT_EQ(s.layer[4].zoom, 55);
    EXPECT_EQ(s.countdown, 1);

    layered_rotozoom_frame(s, texture.data(), frame.data());
    const LayerValues tenth = {{9, 25, 41, 57, 73}, {2255, 1705, 1155, 605, 55}};
    EXPECT_EQ(frame, reference_layered_frame(texture, tenth));

    // Nearest angle dropped, the others one place nearer, a new far layer 16 beyond.
    const int angles[5] = {26, 10, 26, 42, 58}, zooms[5] = {2750, 2200, 1650, 1100, 550};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(s.layer[k].angle, angles[k]) << k;
        EXPECT_EQ(s.layer[k].zoom, zooms[k]) << k;
    }
    EXPECT_EQ(s.countdown, 10);
    layered_rotozoom_frame(s, texture.data(), frame.data());
    const LayerValues eleventh = {{26, 10, 26, 42, 58}, {2750, 2200, 1650, 1100, 550}};
    EXPECT_EQ(frame, reference_layered_frame(texture, eleventh));
}

TEST(LayeredRotozoom, NoLayerIsEverDrawnWithZoomZero) {
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    const Bytes texture(65536, 1);
    Bytes frame(64000);
    for (int n = 0; n < 300; ++n) {
        for (const RotozoomLayer& layer : s.layer) ASSERT_GE(layer.zoom, 55);
        layered_rotozoom_frame(s, texture.data(), frame.data());
    }
}

TEST(LayeredRotozoom, StateFollowsTheCycleOverManyShifts) {
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    const Bytes texture(65536, 1);
    Bytes frame(64000);
    for (int n = 1; n <= 700; ++n) {
        const LayerValues want = drawn_by_call(n);
        for (int k = 0; k < 5; ++k) {
            ASSERT_EQ(s.layer[k].angle, want.angle[k]) << "call " << n << " layer " << k;
            ASSERT_EQ(s.layer[k].zoom, want.zoom[k]) << "call " << n << " layer " << k;
        }
        layered_rotozoom_frame(s, texture.data(), frame.data());
    }
}

TEST(LayeredRotozoom, LayerZeroCoversTheFrameWithIndexZero) {
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    const Bytes clear(65536, 0);
    Bytes frame(64000, 200);
    layered_rotozoom_frame(s, clear.data(), frame.data());
    EXPECT_EQ(frame, Bytes(64000, 0));
}

TEST(LayeredRotozoom, TwoInstancesAdvanceIndependently) {
    layered_rotozoom_init(layered_rotozoom_1);
    layered_rotozoom_init(layered_rotozoom_2);
    LayeredRotozoomState fresh;
    layered_rotozoom_init(fresh);
    const Bytes texture = pattern_texture();
    Bytes frame(64000);
    for (int n = 0; n < 13; ++n)
        layered_rotozoom_frame(layered_rotozoom_1, texture.data(), frame.data());
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(layered_rotozoom_2.layer[k].angle, fresh.layer[k].angle);
        EXPECT_EQ(layered_rotozoom_2.layer[k].zoom, fresh.layer[k].zoom);
    }
    EXPECT_EQ(layered_rotozoom_2.countdown, fresh.countdown);
    layered_rotozoom_frame(layered_rotozoom_2, texture.data(), frame.data());
    EXPECT_EQ(layered_rotozoom_1.layer[0].angle, drawn_by_call(14).angle[0]);
    EXPECT_EQ(layered_rotozoom_2.layer[0].angle, 1);
    EXPECT_EQ(layered_rotozoom_2.countdown, 9);
}

// ---------------------------------------------------------------------------------------------
// Golden frames: the checksums were taken from the effect once the first frames agreed with the
// per-pixel reference below.

TEST(LayeredRotozoomGolden, Frames1And2And100) {
    const Bytes texture = pattern_texture();
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    Bytes frame(64000, 0);
    Checksums sums;
    for (int n = 1; n <= 100; ++n) {
        layered_rotozoom_frame(s, texture.data(), frame.data());
        if (n <= 2 || n == 100) {
            SCOPED_TRACE(n);
            EXPECT_EQ(frame, reference_layered_frame(texture, drawn_by_call(n)));
        }
        if (n <= 2 || n == 100) sums[n] = checksum(frame.data(), 64000);
        if (n == 1 || n == 37) {
            write_png("layered_rotozoom_" + std::to_string(n), frame.data(), 320, 200,
                      test_palette());
        }
    }
    EXPECT_EQ(sums, (Checksums{{1, 2330560654716776741ull},
                               {2, 3028018949654461597ull},
                               {100, 12605858384396704537ull}}));
}
