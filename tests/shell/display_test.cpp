#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "resources/resources.h"
#include "runtime/buffers.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/startup.h"

using namespace vantrose;

namespace vantrose {
extern bool hires_vector_path;
}

namespace {

struct Pixel {
    uint8_t b, g, r, x;
    bool operator==(const Pixel&) const = default;
};

// The frame and stripe image the converters work on, set up fresh per test.
class Display : public ::testing::Test {
  protected:
    void SetUp() override {
        frame_.assign(frame_bytes, 0);
        stripes_.assign(rgb_screen_size, 0);
        true_color_frame = frame_.data();
        rgb_screen = stripes_.data();
        screen_height = 400;
    }
    void TearDown() override {
        true_color_frame = nullptr;
        rgb_screen = nullptr;
        screen_height = 400;
    }
    Pixel at(int x, int y) const {
        Pixel p;
        std::memcpy(&p, frame_.data() + (static_cast<size_t>(y) * 640 + x) * 4, 4);
        return p;
    }
    bool row_is(int y, uint8_t value) const {
        for (int i = 0; i < 640 * 4; ++i) {
            if (frame_[static_cast<size_t>(y) * 2560 + i] != value) return false;
        }
        return true;
    }
    bool badge_pixel(int i, int j) const { return title_badge[j * title_badge_width + i] != 0; }

    std::vector<uint8_t> frame_, stripes_;
};

} // namespace

TEST_F(Display, Pal32IsBlueGreenRedTimesFourInEightBits) {
    uint8_t palette[768] = {};
    palette[0] = 63, palette[1] = 1, palette[2] = 32;   // entry 0: r, g, b
    palette[3] = 64, palette[4] = 65, palette[5] = 255; // entry 1: out-of-range levels wrap
    build_pal32(palette);
    EXPECT_EQ(pal32[0], 128); // blue 32 x 4
    EXPECT_EQ(pal32[1], 4);
    EXPECT_EQ(pal32[2], 252);
    EXPECT_EQ(pal32[3], 252); // 255 x 4 = 1020, kept in 8 bits
    EXPECT_EQ(pal32[4], 4);   // 65 x 4 = 260
    EXPECT_EQ(pal32[5], 0);   // 64 x 4 = 256
}

TEST_F(Display, HiresIn400LinesDropsTwentyFiveRowsInEveryHundredFifty) {
    // Which source row lands on each output row, read back in two passes of 8 bits:
    // entry i shows blue = i & 63, green = i >> 6, red = 1 (written).
    uint8_t palette[768];
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = 1;
        palette[3 * i + 1] = static_cast<uint8_t>(i >> 6);
        palette[3 * i + 2] = static_cast<uint8_t>(i & 63);
    }
    build_pal32(palette);
    std::vector<uint8_t> picture(640 * 480);
    std::vector<int> kept(400, 0);
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < 480; ++y) std::memset(&picture[y * 640], pass ? y >> 8 : y & 255, 640);
        present_hires(picture.data());
        for (int k = 0; k < 400; ++k) {
            const Pixel p = at(0, k);
            ASSERT_EQ(p.r, 4) << "row " << k << " not written";
            ASSERT_EQ(at(639, k), p);
            kept[k] |= ((p.g / 4) << 6 | p.b / 4) << (pass * 8);
        }
    }
    EXPECT_EQ(std::vector<int>(kept.begin(), kept.begin() + 13),
              (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 15}));
    for (int dropped : {4, 9, 14, 19, 24, 34}) {
        EXPECT_EQ(std::count(kept.begin(), kept.end(), dropped), 0) << dropped;
    }
    EXPECT_EQ(std::count(kept.begin(), kept.end(), 29), 1);
    EXPECT_EQ(kept.back(), 479);
    for (size_t i = 1; i < kept.size(); ++i) ASSERT_GT(kept[i], kept[i - 1]);
    // 80 rows dropped, 25 in every 150: rows 0..149 keep 125.
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [](int y) { return y < 150; }), 125);
    EXPECT_TRUE(row_is(400, 0)) << "rows past 400 untouched";
}

TEST_F(Display, HiresIn480LinesCopiesEveryPixelThroughThePalette) {
    screen_height = 480;
    std::vector<uint8_t> picture(640 * 480);
    for (size_t p = 0; p < picture.size(); ++p) picture[p] = static_cast<uint8_t>(p * 7 + p / 640);
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i * 5 & 63);
    build_pal32(palette);
    present_hires(picture.data());
    for (size_t p = 0; p < picture.size(); p += 997) {
        const Pixel q = at(static_cast<int>(p % 640), static_cast<int>(p / 640));
        const uint8_t v = picture[p];
        EXPECT_EQ(q, (Pixel{pal32[3 * v], pal32[3 * v + 1], pal32[3 * v + 2], 0})) << p;
    }
}

TEST_F(Display, HiresPathsAgreeAndKeepTheFourthByte) {
    std::vector<uint8_t> picture(640 * 480);
    for (size_t p = 0; p < picture.size(); ++p)
        picture[p] = static_cast<uint8_t>(p * 131 + p / 640);
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i * 7 + i / 3);
    build_pal32(palette);
    for (int height : {400, 480}) {
        screen_height = height;
        std::memset(frame_.data(), 0xA5, frame_.size());
        present_hires(picture.data());
        const std::vector<uint8_t> vector_path = frame_;
        hires_vector_path = false;
        std::memset(frame_.data(), 0xA5, frame_.size());
        present_hires(picture.data());
        hires_vector_path = true;
        EXPECT_EQ(frame_, vector_path) << height;
        for (size_t p = 3; p < frame_.size(); p += 4) ASSERT_EQ(frame_[p], 0xA5) << p;
    }
}

TEST_F(Display, StripesIn480LinesLeaveTheBordersAndPlaceTheBadge) {
    screen_height = 480;
    std::memset(frame_.data(), 0x5A, frame_.size());
    std::memset(stripes_.data(), 0, stripes_.size());
    present_stripes();
    for (int y = 0; y < 40; ++y) ASSERT_TRUE(row_is(y, 0x5A)) << y;
    for (int y = 440; y < 480; ++y) ASSERT_TRUE(row_is(y, 0x5A)) << y;
    // The staggered halves: row 40 keeps its old right-hand pairs, row 439 its left-hand pairs.
    EXPECT_EQ(at(2, 40), (Pixel{0x5A, 0x5A, 0x5A, 0x5A}));
    EXPECT_EQ(at(0, 439), (Pixel{0x5A, 0x5A, 0x5A, 0x5A}));
    EXPECT_EQ(at(0, 40), (Pixel{0, 0, 0, 0x5A}));
    EXPECT_EQ(at(3, 439), (Pixel{0, 0, 0, 0x5A}));
    // All-zero stripes: black except the badge, at rows 60..84 and columns 400..619.
    int grey = 0;
    for (int y = 41; y < 439; ++y) {
        for (int x = 0; x < 640; ++x) {
            const Pixel p = at(x, y);
            const bool in_badge = y >= 60 && y < 85 && x >= 400 && x < 620;
            if (in_badge && badge_pixel((x - 400) / 2, y - 60)) {
                ASSERT_TRUE(p.b == p.g && p.g == p.r) << x << "," << y;
                ++grey;
            } else {
                ASSERT_EQ(p.b | p.g | p.r, 0) << x << "," << y;
            }
        }
    }
    EXPECT_GT(grey, 0);
}

TEST_F(Display, BadgeGreysComeFromTheFixedRamp) {
    const int expected[32] = {63, 61, 58, 56, 54, 52, 50, 48, 46, 44, 41, 39, 37, 35, 33, 31,
                              29, 27, 24, 22, 20, 18, 16, 14, 12, 10, 7,  5,  3,  1,  0,  63};
    for (int i = 0; i < 32; ++i) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(badge_palette[3 * (224 + i) + c], expected[i]);
    }
    present_stripes();
    for (int j = 0; j < 25; ++j) {
        for (int i = 0; i < 110; ++i) {
            const uint8_t v = title_badge[j * 110 + i];
            if (v == 0) continue;
            const uint8_t grey = static_cast<uint8_t>(badge_palette[3 * v] * 4);
            ASSERT_EQ(at(400 + 2 * i, 20 + j), (Pixel{grey, grey, grey, 0}));
            ASSERT_EQ(at(401 + 2 * i, 20 + j), (Pixel{grey, grey, grey, 0}));
        }
    }
}

TEST_F(Display, StripeLevelsDropTheirMarksAndStagger) {
    // Group 5, source column 2x = 20: red 33, green 64 + 63, blue 128 + 1. Odd column 21 unseen.
    const int g = 5, x = 10;
    stripes_[960 * g + 2 * x] = 33;
    stripes_[960 * g + 320 + 2 * x] = 64 + 63;
    stripes_[960 * g + 640 + 2 * x] = 128 + 1;
    stripes_[960 * g + 2 * x + 1] = 63;
    convert_stripes();
    const int row = 3 * g;
    for (int c : {4 * x, 4 * x + 1}) {
        EXPECT_EQ(at(c, row), (Pixel{4, 0, 0, 0}));
        EXPECT_EQ(at(c, row + 1), (Pixel{0, 252, 0, 0}));
        EXPECT_EQ(at(c, row + 2), (Pixel{0, 0, 132, 0}));
        EXPECT_EQ(at(c, row + 3), (Pixel{0, 0, 0, 0}));
    }
    for (int c : {4 * x + 2, 4 * x + 3}) {
        EXPECT_EQ(at(c, row), (Pixel{0, 0, 0, 0}));
        EXPECT_EQ(at(c, row + 1), (Pixel{4, 0, 0, 0}));
        EXPECT_EQ(at(c, row + 2), (Pixel{0, 252, 0, 0}));
        EXPECT_EQ(at(c, row + 3), (Pixel{0, 0, 132, 0}));
    }
    EXPECT_EQ(at(4 * x + 4, row + 2), (Pixel{0, 0, 0, 0}));
}

TEST_F(Display, StripesMatchTheCellRuleEverywhere) {
    for (size_t i = 0; i < stripes_.size(); ++i)
        stripes_[i] = static_cast<uint8_t>(i * 131 + i / 320);
    convert_stripes();
    auto level = [&](int g, int row, int x) {
        return static_cast<uint8_t>(stripes_[960 * g + 320 * row + 2 * x] << 2);
    };
    for (int g = 0; g < 133; ++g) {
        for (int x = 0; x < 160; ++x) {
            const Pixel b{level(g, 2, x), 0, 0, 0}, gr{0, level(g, 1, x), 0, 0},
                r{0, 0, level(g, 0, x), 0};
            ASSERT_EQ(at(4 * x, 3 * g), b);
            ASSERT_EQ(at(4 * x + 1, 3 * g + 1), gr);
            ASSERT_EQ(at(4 * x, 3 * g + 2), r);
            ASSERT_EQ(at(4 * x + 3, 3 * g + 1), b);
            ASSERT_EQ(at(4 * x + 2, 3 * g + 2), gr);
            ASSERT_EQ(at(4 * x + 2, 3 * g + 3), r);
        }
    }
}

TEST_F(Display, FlatPathSwapsBlueAndGreenAndClearsTheTop400Rows) {
    std::memset(frame_.data(), 0x77, frame_.size());
    const int g = 7, x = 33;
    stripes_[960 * g + 640 + 2 * x] = 128 + 63; // blue level 63
    present_stripes_flat();
    for (int c = 4 * x; c < 4 * x + 4; ++c) {
        EXPECT_EQ(at(c, 3 * g), (Pixel{0, 252, 0, 0})) << c;
        EXPECT_EQ(at(c, 3 * g + 1), (Pixel{0, 0, 0, 0}));
        EXPECT_EQ(at(c, 3 * g + 2), (Pixel{0, 0, 0, 0}));
    }
    stripes_[960 * g + 640 + 2 * x] = 128;
    stripes_[960 * g + 320 + 2 * x] = 64 + 2; // green level 2 -> blue byte
    stripes_[960 * g + 2 * x] = 5;
    present_stripes_flat();
    EXPECT_EQ(at(4 * x + 3, 3 * g + 1), (Pixel{8, 0, 0, 0}));
    EXPECT_EQ(at(4 * x + 3, 3 * g + 2), (Pixel{0, 0, 20, 0}));
    EXPECT_EQ(at(0, 399), (Pixel{0, 0, 0, 0}));
    EXPECT_TRUE(row_is(400, 0x77)) << "only the first 640 x 400 pixels are cleared";
}

TEST_F(Display, FlatPathIn480LinesClearsFromTheTopOfTheBuffer) {
    screen_height = 480;
    std::memset(frame_.data(), 0x77, frame_.size());
    present_stripes_flat();
    EXPECT_TRUE(row_is(0, 0));
    EXPECT_TRUE(row_is(39, 0));
    EXPECT_EQ(at(0, 399), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(at(0, 400), (Pixel{0, 0, 0, 0x77})) << "converted, fourth byte kept";
    EXPECT_EQ(at(0, 438), (Pixel{0, 0, 0, 0x77}));
    EXPECT_TRUE(row_is(439, 0x77));
    EXPECT_TRUE(row_is(479, 0x77));
}
