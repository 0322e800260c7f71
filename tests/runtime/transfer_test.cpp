#include <array>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/buffers.h"
#include "runtime/palette.h"
#include "runtime/ticks.h"
#include "runtime/transfer.h"

using namespace vantrose;

namespace {

using Frame = std::vector<uint8_t>;
using Palette = std::array<uint8_t, 768>;

Palette palette_with(int index, uint8_t r, uint8_t g, uint8_t b) {
    Palette p{};
    p[3 * index] = r, p[3 * index + 1] = g, p[3 * index + 2] = b;
    return p;
}

// Source row shown by stripe group g.
int source_row(int g) {
    return 3 * (g / 2) + g % 2;
}

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override { allocate_buffers(); }
    void TearDown() override { free_buffers(); }
    static uint8_t& at(int row, int column) { return rgb_screen[320 * row + column]; }
    // Red, green and blue levels of source pixel (column, group) as stored, marks included.
    static std::array<uint8_t, 3> stored(int column, int g) {
        const int top = 3 * g + (column & 1);
        return {at(top, column), at(top + 1, column), at(top + 2, column)};
    }
    std::vector<uint8_t> screen() const { return {rgb_screen, rgb_screen + rgb_screen_size}; }
};

} // namespace

TEST_F(Transfer, FullLevelBlendedIntoBlackSettlesAtSixty) {
    const Frame frame(64000, 1);
    const Palette white = palette_with(1, 63, 63, 63);
    for (int expected : {15, 27, 36, 42, 47, 51, 54, 56, 57, 58, 59, 60, 60, 60}) {
        stripe_blend(frame.data(), white.data());
        for (int column : {0, 1, 318, 319})
            for (int g : {0, 67, 133}) {
                const auto s = stored(column, g);
                ASSERT_EQ(s[0], expected) << column << "," << g;
                ASSERT_EQ(s[1], expected | 64);
                ASSERT_EQ(s[2], expected | 128);
            }
    }
}

TEST_F(Transfer, BlackBlendedIntoFullLevelReachesZeroInTwelveFrames) {
    const Frame frame(64000, 1);
    const Palette white = palette_with(1, 63, 63, 63), black{};
    stripe_copy(frame.data(), white.data());
    for (int expected : {47, 35, 26, 19, 14, 10, 7, 5, 3, 2, 1, 0, 0}) {
        stripe_blend(frame.data(), black.data());
        const auto even = stored(100, 20), odd = stored(101, 21);
        ASSERT_EQ(even[0], expected);
        ASSERT_EQ(even[1], expected | 64);
        ASSERT_EQ(odd[2], expected | 128);
    }
}

TEST_F(Transfer, CopyWritesTheStaggeredStripeLayoutAndNothingElse) {
    std::memset(rgb_screen, 0xEE, rgb_screen_size);
    const Frame frame(64000, 5);
    const Palette palette = palette_with(5, 10, 20, 30);
    stripe_copy(frame.data(), palette.data());

    std::vector<uint8_t> expected(rgb_screen_size, 0xEE);
    for (int g = 0; g < 134; ++g)
        for (int c = 0; c < 320; ++c) {
            const int top = 3 * g + (c & 1);
            expected[320 * top + c] = 10;
            expected[320 * (top + 1) + c] = 84;
            expected[320 * (top + 2) + c] = 158;
        }
    EXPECT_EQ(screen(), expected);
    // Even columns at rows 0..2, odd ones at rows 1..3; the odd columns of row 0 stay.
    EXPECT_EQ(at(0, 0), 10);
    EXPECT_EQ(at(2, 0), 158);
    EXPECT_EQ(at(0, 1), 0xEE);
    EXPECT_EQ(at(1, 1), 10);
    EXPECT_EQ(at(3, 1), 158);
    EXPECT_EQ(at(402, 319), 158); // the last byte written
    EXPECT_EQ(at(402, 318), 0xEE);
}

TEST_F(Transfer, GroupsShowSourceRowsSkippingEveryThird) {
    Frame frame(64000);
    Palette palette{};
    for (int y = 0; y < 200; ++y) {
        std::memset(frame.data() + 320 * y, y, 320);
        palette[3 * y] = static_cast<uint8_t>(y % 64);
        palette[3 * y + 1] = static_cast<uint8_t>(y / 4);
    }
    stripe_copy(frame.data(), palette.data());
    for (int g = 0; g < 134; ++g) {
        const int y = source_row(g);
        ASSERT_EQ(stored(2 * g % 320, g)[0], y % 64) << g;
        ASSERT_EQ(stored(2 * g % 320 + 1, g)[1], (y / 4) | 64) << g;
    }
    EXPECT_EQ(source_row(133), 199);
}

TEST_F(Transfer, SourceRowTwoNeverReachesTheStripes) {
    const Palette palette = palette_with(1, 63, 0, 63);
    Frame frame(64000, 0);
    stripe_blend(frame.data(), palette.data());
    const auto without_line = screen();
    std::fill(frame.begin() + 2 * 320, frame.begin() + 3 * 320, 1);
    std::memset(rgb_screen, 0, rgb_screen_size);
    stripe_blend(frame.data(), palette.data());
    EXPECT_EQ(screen(), without_line);
}

TEST_F(Transfer, KeyedBlendLeavesIndexZeroAlone) {
    std::mt19937 random(3);
    for (size_t i = 0; i < rgb_screen_size; ++i) rgb_screen[i] = static_cast<uint8_t>(random());
    const auto before = screen();
    const Palette palette = palette_with(1, 63, 63, 63);
    Frame frame(64000, 0);
    stripe_blend_keyed(frame.data(), palette.data());
    EXPECT_EQ(screen(), before);

    // Source row 4 is shown by group 3; column 7 is odd, so rows 10, 11 and 12.
    frame[320 * 4 + 7] = 1;
    stripe_blend_keyed(frame.data(), palette.data());
    const auto after = screen();
    std::vector<size_t> changed;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changed.push_back(i);
    EXPECT_EQ(changed, (std::vector<size_t>{320 * 10 + 7, 320 * 11 + 7, 320 * 12 + 7}));
}

TEST_F(Transfer, BlendWorksInByteArithmetic) {
    // The 3D engine leaves blue + 128 where the 2D layout keeps red and green: the old level
    // then keeps seven bits and the byte arithmetic wraps.
    const Frame frame(64000, 0);
    const Palette black{};
    at(1, 1) = 191; // red of an odd column: the whole byte is the level
    at(2, 0) = 255; // blue of an even column: seven bits
    at(1, 0) = 255; // green: six bits
    stripe_blend(frame.data(), black.data());
    EXPECT_EQ(at(1, 1), static_cast<uint8_t>(3 * 191) >> 2);
    EXPECT_EQ(at(2, 0), (static_cast<uint8_t>(3 * 127) >> 2) | 128);
    EXPECT_EQ(at(1, 0), ((3 * 63) >> 2) | 64);
}

// The five routines: which layers, which primitive, in which order. Each case starts from black;
// colour 63 then black gives 11 (63 then 0: 15, then 11), black then 63 gives 15.
TEST_F(Transfer, RoutinesBlendTheirLayersInOrder) {
    Frame ones(64000, 1), single(64000, 0), fives(64000, 5);
    single[0] = 1; // even column of group 0
    Palette full = palette_with(1, 63, 63, 63), dark = palette_with(1, 0, 0, 0);
    Palette copy_palette = palette_with(5, 10, 20, 30);
    Palette full0 = full, dark0 = dark; // index 0 non-black: keyed pixels must skip it
    full0[0] = 63, dark0[0] = 0;

    const auto red = [](int column) { return at(0, column); };
    const auto reset = [] { std::memset(rgb_screen, 0, rgb_screen_size); };

    reset();
    layer_a_frame = ones.data(), layer_a_pal = full.data();
    layer_b_frame = ones.data(), layer_b_pal = dark.data();
    transfer_a_b();
    EXPECT_EQ(red(0), 11);

    reset();
    layer_a_frame = nullptr, layer_a_pal = nullptr; // transfer_b must not touch layer A
    layer_b_pal = full.data();
    transfer_b();
    EXPECT_EQ(red(0), 15);

    reset();
    layer_b_frame = ones.data(), layer_b_pal = full.data();
    layer_a_frame = single.data(), layer_a_pal = dark0.data();
    transfer_a_over_b();
    EXPECT_EQ(red(0), 11); // B, then A's one non-zero pixel over it
    EXPECT_EQ(red(2), 15); // A's index 0 is transparent, even with a black entry 0

    reset();
    layer_b_frame = single.data(), layer_b_pal = full0.data();
    layer_a_frame = ones.data(), layer_a_pal = dark.data();
    transfer_b_over_a();
    EXPECT_EQ(red(0), 11); // B's pixel, then all of A
    EXPECT_EQ(red(2), 0);  // B's index 0 skipped although its entry is bright

    std::memset(rgb_screen, 0xEE, rgb_screen_size);
    layer_a_frame = fives.data(), layer_a_pal = copy_palette.data();
    layer_b_frame = nullptr, layer_b_pal = nullptr;
    transfer_a_copy();
    EXPECT_EQ(stored(0, 0), (std::array<uint8_t, 3>{10, 84, 158}));
    EXPECT_EQ(stored(1, 0), (std::array<uint8_t, 3>{10, 84, 158}));
}

// Transfers and main-thread palette steps while the timer thread fades the same palettes: must
// be race-free (run under the tsan preset) and the fade still arrives.
TEST_F(Transfer, PalettesSharedWithTheTimerThread) {
    Frame frame(64000);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 13);
    std::memset(pal0, 63, palette_size);
    std::memset(pal1, 40, palette_size);
    layer_a_frame = frame.data(), layer_a_pal = pal6;
    layer_b_frame = frame.data(), layer_b_pal = pal7;

    std::atomic<bool> stop{false};
    std::thread timer([&] {
        while (!stop.load(std::memory_order_relaxed)) tick_fade_6_0_7_1();
    });
    for (int i = 0; i < 40; ++i) {
        transfer_a_b();
        transfer_a_over_b();
        step_palette_toward(pal6, pal0);
        if (i == 20) clear_palette(pal7);
    }
    stop = true;
    timer.join();
    for (int i = 0; i < 64; ++i) tick_fade_6_0_7_1();
    EXPECT_EQ(std::memcmp(pal6, pal0, palette_size), 0);
    EXPECT_EQ(std::memcmp(pal7, pal1, palette_size), 0);
}
