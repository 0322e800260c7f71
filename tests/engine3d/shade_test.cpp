#include <array>
#include <cstring>

#include "support.h"

using namespace vantrose;

namespace {

using Rgb = std::array<int, 3>;

Rgb shade(int colour, int brightness) {
    const uint8_t* e = &shade_table[3 * (256 * colour + brightness)];
    return {e[0], e[1], e[2]};
}

void set_palette_entry(int colour, uint8_t r, uint8_t g, uint8_t b) {
    texture_palettes[3 * colour] = r;
    texture_palettes[3 * colour + 1] = g;
    texture_palettes[3 * colour + 2] = b;
}

class ShadeTable : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(texture_palettes, 0, sizeof texture_palettes);
        set_palette_entry(5, 63, 63, 63);
        set_palette_entry(256 + 9, 63, 0, 0);
        set_palette_entry(300, 17, 40, 2);
        build_intensity_ramp();
        build_shade_table();
    }
};

} // namespace

TEST_F(ShadeTable, RampRisesSlowlyThenFaster) {
    const int expected[][2] = {{0, 0},    {50, 9},   {100, 19}, {128, 26},
                               {200, 46}, {229, 55}, {255, 63}};
    for (const auto& [j, r] : expected) {
        EXPECT_EQ(intensity_ramp[3 * j], r) << j;
        EXPECT_EQ(intensity_ramp[3 * j + 1], r) << j;
        EXPECT_EQ(intensity_ramp[3 * j + 2], r) << j;
    }
    for (int j = 1; j < 256; j++) EXPECT_GE(intensity_ramp[3 * j], intensity_ramp[3 * j - 3]);
}

TEST_F(ShadeTable, BrightnessZeroIsBlackInEveryChannel) {
    for (int c = 0; c < 512; c++) EXPECT_EQ(shade(c, 0), (Rgb{0, 64, 128})) << c;
}

TEST_F(ShadeTable, WhiteTurnsTowardsFullWhite) {
    EXPECT_EQ(shade(5, 100), (Rgb{18, 82, 146}));
    EXPECT_EQ(shade(5, 200), (Rgb{45, 109, 173}));
    EXPECT_EQ(shade(5, 229), (Rgb{54, 118, 182}));
    EXPECT_EQ(shade(5, 240), (Rgb{59, 123, 187}));
    EXPECT_EQ(shade(5, 248), (Rgb{62, 126, 190}));
    for (int j = 249; j < 256; j++) EXPECT_EQ(shade(5, j), (Rgb{63, 127, 191})) << j;
}

TEST_F(ShadeTable, RedStaysRedUntilTheHighlight) {
    // Colour 9 of texture 1's palette.
    for (int j = 0; j <= 229; j++) {
        const Rgb e = shade(256 + 9, j);
        EXPECT_EQ(e[1], 64) << j;
        EXPECT_EQ(e[2], 128) << j;
    }
    EXPECT_EQ(shade(256 + 9, 229), (Rgb{54, 64, 128}));
    EXPECT_EQ(shade(256 + 9, 240), (Rgb{59, 91, 155}));
    EXPECT_EQ(shade(256 + 9, 249), (Rgb{63, 127, 191}));
}

TEST_F(ShadeTable, ChannelsKeepTheirRanges) {
    for (int c = 0; c < 512; c++)
        for (int j = 0; j < 256; j++) {
            const Rgb e = shade(c, j);
            ASSERT_LE(e[0], 63);
            ASSERT_GE(e[1], 64);
            ASSERT_LE(e[1], 127);
            ASSERT_GE(e[2], 128);
            ASSERT_LE(e[2], 191);
        }
    // An ordinary colour at mid brightness: 17 * 26 / 64 = 6.9, 40 * 26 / 64 = 16.25.
    EXPECT_EQ(shade(300, 128), (Rgb{6, 64 + 16, 128 + 0}));
}
