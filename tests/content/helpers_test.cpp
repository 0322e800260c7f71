// The generator's building blocks: colour reduction, palettes, text, noise, resources source.
#include <gtest/gtest.h>

#include <set>

#include "content/palettes.h"
#include "content/quantize.h"
#include "content/raster.h"
#include "content/resources_gen.h"
#include "content/text.h"

using namespace vantrose;

TEST(Quantize, FlatColoursComeBackExactly) {
    Canvas c(30, 10);
    const Rgb colours[3] = {hex(0xff0000), hex(0x00ff00), hex(0x2040c0)};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 30; ++x) c.at(x, y) = colours[x / 10];
    Palette pal{};
    pal.fill(99); // entries outside the range asked for must stay as they were
    const Indexed out = quantize(c, pal, 10, 8, 0.5f);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 30; ++x) {
            const int k = out.at(x, y);
            ASSERT_GE(k, 10);
            ASSERT_LT(k, 18);
            const Rgb want = colours[x / 10];
            EXPECT_EQ(pal[size_t(k) * 3], level(want.r));
            EXPECT_EQ(pal[size_t(k) * 3 + 1], level(want.g));
            EXPECT_EQ(pal[size_t(k) * 3 + 2], level(want.b));
        }
    for (int k = 0; k < 10; ++k) EXPECT_EQ(pal[size_t(k) * 3], 99);
    for (int k = 18; k < 256; ++k) EXPECT_EQ(pal[size_t(k) * 3 + 2], 99);
}

TEST(Quantize, SeeThroughPixelsGetIndexZeroAndNoColour) {
    Canvas c(16, 16, hex(0x808080));
    Mask alpha(16, 16, 1);
    for (int x = 0; x < 16; ++x) {
        alpha.at(x, 3) = 0;
        c.at(x, 3) = hex(0xff00ff); // would claim a palette entry if it were counted
    }
    Palette pal{};
    const Indexed out = quantize(c, pal, 1, 255, 0, &alpha);
    std::set<int> used(out.px.begin(), out.px.end());
    EXPECT_EQ(used, (std::set<int>{0, 1}));
    for (int x = 0; x < 16; ++x) EXPECT_EQ(out.at(x, 3), 0);
    EXPECT_EQ(pal[3], level(0x80 / 255.0f));
}

TEST(Quantize, GradientKeepsItsOrderAndSpreadsOverTheEntries) {
    Canvas c(256, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 256; ++x) c.at(x, y) = Rgb{x / 255.0f, x / 255.0f, x / 255.0f};
    Palette pal{};
    const Indexed out = quantize(c, pal, 0, 32, 0);
    int previous = -1;
    for (int x = 0; x < 256; ++x) {
        const int grey = pal[size_t(out.at(x, 0)) * 3];
        EXPECT_GE(grey, previous) << "column " << x;
        EXPECT_LE(std::abs(grey - int(std::lround(x * 63 / 255.0))), 2) << "column " << x;
        previous = grey;
    }
}

TEST(Palettes, LevelsRoundToSixBits) {
    EXPECT_EQ(level(0), 0);
    EXPECT_EQ(level(1), 63);
    EXPECT_EQ(level(0.5f), 32);
    EXPECT_EQ(level(-1), 0);
    EXPECT_EQ(level(7), 63);
}

TEST(Palettes, RampRunsFromFirstStopToLastStop) {
    Palette p{};
    put_ramp(p, 16, 32, {{0, hex(0x000000)}, {1, hex(0xffffff)}});
    EXPECT_EQ(p[16 * 3], 0);
    EXPECT_EQ(p[47 * 3], 63);
    EXPECT_EQ(p[15 * 3], 0); // before the range: untouched
    EXPECT_EQ(p[48 * 3], 0); // after it
}

TEST(Palettes, CycleEndJoinsItsStart) {
    Palette p{};
    put_cycle(p, 0, 256, {{0, hex(0x000000)}, {0.5f, hex(0xffffff)}, {1, hex(0x000000)}}, 2);
    // Two climbs to white and back: entries 64 and 192 bright, 0, 128 and 255 dark.
    EXPECT_EQ(p[64 * 3], 63);
    EXPECT_EQ(p[192 * 3], 63);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[128 * 3], 0);
    EXPECT_LE(p[255 * 3], 1);
}

TEST(Noise, TilesWithItsPeriodAndRepeatsItself) {
    for (float x : {0.3f, 2.7f, 5.5f})
        for (float y : {0.1f, 3.9f}) {
            EXPECT_FLOAT_EQ(value_noise(x, y, 7, 8), value_noise(x + 8, y, 7, 8));
            EXPECT_FLOAT_EQ(value_noise(x, y, 7, 8), value_noise(x, y - 8, 7, 8));
            EXPECT_FLOAT_EQ(fbm(x, y, 4, 9, 4), fbm(x + 4, y + 4, 4, 9, 4));
            const Cells a = cells(x, y, 3, 6), b = cells(x + 6, y, 3, 6);
            EXPECT_NEAR(a.d1, b.d1, 1e-4);
            EXPECT_EQ(a.id, b.id);
        }
    EXPECT_EQ(hash3(1, 2, 3), hash3(1, 2, 3));
    EXPECT_NE(hash3(1, 2, 3), hash3(2, 1, 3));
}

TEST(Masks, BlurKeepsTheInkAndDilateGrowsIt) {
    Mask m(40, 40);
    for (int y = 15; y < 25; ++y)
        for (int x = 15; x < 25; ++x) m.at(x, y) = 1;
    const Mask b = blur(m, 3);
    float before = 0, after = 0;
    for (size_t i = 0; i < m.a.size(); ++i) {
        before += m.a[i];
        after += b.a[i];
    }
    EXPECT_NEAR(after, before, 0.5f);
    EXPECT_GT(b.at(20, 20), b.at(13, 20));
    // Grown by two pixels, the outermost one half covered: the outline stays anti-aliased.
    const Mask d = dilate(m, 2);
    EXPECT_EQ(d.at(14, 20), 1.0f);
    EXPECT_EQ(d.at(13, 20), 0.5f);
    EXPECT_EQ(d.at(12, 20), 0.0f);
}

TEST(Text, LongerTextIsWiderAndSitsOnItsBaseline) {
    const TextStyle style{sans_bold, 20};
    int baseline = 0;
    const Mask v = text_mask("V", style, 0, &baseline);
    const Mask word = text_mask("Vantrose", style);
    EXPECT_GT(word.w, 4 * v.w);
    // A capital V stands on the baseline: ink reaches it and nothing hangs below.
    EXPECT_EQ(baseline, v.h);
    const Mask descender = text_mask("gy", style, 0, &baseline);
    EXPECT_GT(descender.h, baseline);
    // Nothing to draw, nothing drawn.
    const Mask empty = text_mask("", style, 2);
    for (float a : empty.a) EXPECT_EQ(a, 0.0f);
}

TEST(Text, NarrowerStyleMakesNarrowerInk) {
    TextStyle wide{serif_bold, 30};
    TextStyle narrow = wide;
    narrow.xscale = 0.6f;
    EXPECT_LT(text_width("Quorv", narrow), text_width("Quorv", wide) * 0.75);
}

TEST(ResourcesSource, BadgeGreysFollowTheDisplaysPalette) {
    EXPECT_EQ(badge_level(224), 63);
    EXPECT_EQ(badge_level(229), 52);
    EXPECT_EQ(badge_level(251), 5);
    EXPECT_EQ(badge_level(254), 0);
    EXPECT_EQ(badge_level(255), 63);
    EXPECT_EQ(badge_level(0), 0);
    for (int v = 230; v <= 251; ++v) EXPECT_LE(badge_level(v), badge_level(v - 1));
}

TEST(ResourcesSource, DefinesEveryDeclarationAndEscapesText) {
    Resources r;
    r.title_badge = Bytes(110 * 25, 0);
    r.dialog_picture = Bytes(213 * 133 * 3, 7);
    r.credits = {"a \"quoted\" line", "back\\slash", "plain"};
    const std::string src = resources_source(r);
    EXPECT_NE(src.find("#include \"resources/resources.h\""), std::string::npos);
    EXPECT_NE(src.find("const uint8_t title_badge[title_badge_width * title_badge_height]"),
              std::string::npos);
    EXPECT_NE(src.find("const uint8_t dialog_picture["), std::string::npos);
    EXPECT_NE(src.find("const char* const about_credits[3]"), std::string::npos);
    EXPECT_NE(src.find("\"a \\\"quoted\\\" line\""), std::string::npos);
    EXPECT_NE(src.find("\"back\\\\slash\""), std::string::npos);
}
