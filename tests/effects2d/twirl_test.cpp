#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "effects2d/radial_tables.h"
#include "effects2d/twirl.h"
#include "maps_support.h"
#include "runtime/ticks.h"

namespace vantrose {
namespace {

using maps_test::checksum;

class Twirl : public ::testing::Test {
  protected:
    void SetUp() override {
        build_radial_tables();
        source.assign(65536, 0);
        target.assign(65536, 0);
        twirl_source = source.data();
        twirl_target = target.data();
        wave_angle.store(0);
    }
    void TearDown() override { wave_angle.store(0); }

    uint8_t out(int x, int y) const { return target[y * 320 + x]; }

    std::vector<uint8_t> source;
    std::vector<uint8_t> target;
};

// Naive frame straight from the formulas: one division per pixel, nothing precomputed.
void naive_twirl(const uint8_t* src, uint8_t* dst, int32_t t) {
    for (int y = 0; y < 200; ++y) {
        if (y % 3 == 2) continue;
        for (int x = 0; x < 320; x += 2) {
            int32_t d = distance_table[x * 200 + y];
            int32_t q = t / d;
            int32_t a = q >= 0 ? q / 2 : -((-q + 1) / 2); // floor(q / 2)
            a = ((a % 256) + 256) % 256;
            int32_t dx = 160 - x, dy = 100 - y;
            int32_t s = sine_table[a], c = cosine_table[a];
            int32_t su = s * dy + c * dx, sv = c * dy + s * dx;
            int32_t u = 160 + (su >= 0 ? su / 65536 : -((-su + 65535) / 65536));
            int32_t v = 100 + (sv >= 0 ? sv / 65536 : -((-sv + 65535) / 65536));
            dst[y * 320 + x] = src[v * 320 + u];
            dst[y * 320 + x + 1] = src[v * 320 + u + 1];
        }
    }
}

TEST_F(Twirl, ZeroStrengthShowsTheCentreMagnifiedAndHalfTurned) {
    // Each source pixel holds its own column, then its own row.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) source[y * 320 + x] = static_cast<uint8_t>(x);
    twirl_frame();
    int lowest = 255, highest = 0;
    for (int y = 0; y < 200; y += (y % 3 == 0 ? 1 : 2)) {
        for (int x = 0; x < 320; ++x) {
            lowest = std::min<int>(lowest, out(x, y));
            highest = std::max<int>(highest, out(x, y));
            if (x >= 2) {
                EXPECT_LE(out(x, y), out(x - 2, y)) << "columns run right to left";
            }
        }
        EXPECT_EQ(out(0, y), 239);
        EXPECT_EQ(out(1, y), 240);
    }
    EXPECT_EQ(lowest, 81);
    EXPECT_EQ(highest, 240);

    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) source[y * 320 + x] = static_cast<uint8_t>(y);
    twirl_frame();
    EXPECT_EQ(out(0, 0), 149);
    EXPECT_EQ(out(319, 199), 50);
    for (int y = 3; y < 200; y += 3) EXPECT_LE(out(100, y), out(100, y - 3)) << "rows upside down";
}

TEST_F(Twirl, IndexIsNotSymmetricInTheStrength) {
    // Pixel (160, 0) lies at distance 100, so strength +-500 gives t / d = +-5 there:
    // angle 2 for +500 but 253 (not 254) for -500.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) source[y * 320 + x] = static_cast<uint8_t>(x);
    ASSERT_EQ(distance_table[160 * 200 + 0], 100);
    auto column_for = [](int a) { return 160 + ((sine_table[a] * 100) >> 16); };
    ASSERT_NE(column_for(253), column_for(254));

    wave_angle.store(500);
    twirl_frame();
    EXPECT_EQ(out(160, 0), column_for(2));
    wave_angle.store(-500);
    twirl_frame();
    EXPECT_EQ(out(160, 0), column_for(253));
}

TEST_F(Twirl, CentreSampleDividesByOne) {
    maps_test::fill_noise(source.data(), 64000, 7);
    ASSERT_EQ(distance_table[160 * 200 + 100], 1);
    for (int32_t t : {-32766, -1, 1, 32766}) {
        wave_angle.store(t);
        twirl_frame();
        // dx = dy = 0: whatever the angle, the centre pair copies itself.
        EXPECT_EQ(out(160, 100), source[100 * 320 + 160]) << t;
        EXPECT_EQ(out(161, 100), source[100 * 320 + 161]) << t;
    }
}

TEST_F(Twirl, NeverReadsOutsideThePictureAtAnyAngle) {
    int u_min = 1000, u_max = -1000, v_min = 1000, v_max = -1000;
    for (int a = 0; a < 256; ++a) {
        const int32_t s = sine_table[a], c = cosine_table[a];
        for (int y = 0; y < 200; ++y) {
            if (y % 3 == 2) continue;
            for (int x = 0; x < 320; x += 2) {
                const int32_t dx = 160 - x, dy = 100 - y;
                const int u = 160 + ((s * dy + c * dx) >> 16);
                const int v = 100 + ((c * dy + s * dx) >> 16);
                u_min = std::min(u_min, u), u_max = std::max(u_max, u);
                v_min = std::min(v_min, v), v_max = std::max(v_max, v);
            }
        }
    }
    EXPECT_GE(u_min, 65);
    EXPECT_LE(u_max, 254); // u + 1 is read too: still inside the row
    EXPECT_GE(v_min, 5);
    EXPECT_LE(v_max, 194);
}

TEST_F(Twirl, LeavesTheRowsTheTransferSkips) {
    maps_test::fill_noise(source.data(), 64000, 3);
    maps_test::mark_skipped_rows(target.data(), 0xa5);
    for (int32_t t : {0, 12345, -32766}) {
        wave_angle.store(t);
        twirl_frame();
        EXPECT_TRUE(maps_test::skipped_rows_hold(target.data(), 0xa5)) << t;
    }
    EXPECT_TRUE(
        std::all_of(target.begin() + 64000, target.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(Twirl, GoldenFrames) {
    // The strength comes from wave_tick, five ticks before each frame, as in a scene start.
    maps_test::fill_noise(source.data(), 64000, 20);
    maps_test::fill_noise(target.data(), 64000, 21);
    std::vector<uint8_t> naive = target;
    wave_phase = 0;
    wave_sign = 1;
    std::vector<uint64_t> sums;
    for (int frame = 1; frame <= 100; ++frame) {
        for (int tick = 0; tick < 5; ++tick) wave_tick();
        twirl_frame();
        naive_twirl(source.data(), naive.data(), wave_angle.load());
        if (frame == 1 || frame == 2 || frame == 100) {
            ASSERT_EQ(std::memcmp(target.data(), naive.data(), 64000), 0) << "frame " << frame;
            sums.push_back(checksum(target.data(), 64000));
        }
    }
    EXPECT_EQ(sums, (std::vector<uint64_t>{2396400512256979449u, 7117537353762629118u,
                                           14215012712213319503u}));
}

TEST_F(Twirl, WritesViews) {
    if (std::getenv("VANTROSE_PNG_DIR") == nullptr) GTEST_SKIP() << "set VANTROSE_PNG_DIR to look";
    // A checkerboard with a frame, so the swirl and the half turn are easy to see.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            source[y * 320 + x] =
                static_cast<uint8_t>(((x / 16 + y / 16) & 1) ? 40 + y / 2 : 140 + x / 4);
    const std::vector<uint8_t> palette = maps_test::view_palette();
    maps_test::write_png("twirl_source", source.data(), 320, 200, palette.data());
    for (int32_t t : {0, 8000, 32766, -20000}) {
        wave_angle.store(t);
        twirl_frame();
        maps_test::write_png("twirl_" + std::to_string(t), target.data(), 320, 200, palette.data());
    }
}

} // namespace
} // namespace vantrose
