// The converters into the 32-bit frame, against a naive frame built from the display rules:
// pal32, the hires picture in both heights, the stripe dots with the badge, the flat 3D path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "resources/resources.h"
#include "runtime/buffers.h"
#include "runtime/cpu.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/startup.h"
#include "tests/effects2d/support.h"

using namespace vantrose;
using effects_test::Bytes, effects_test::noise;

namespace {

void put(Bytes& frame, int x, int y, int b, int g, int r) {
    uint8_t* p = &frame[(static_cast<size_t>(y) * 640 + x) * 4];
    p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r);
}

// The stripe dots (staggered, or flat with blue and green swapped) and the badge over them.
void naive_stripes(Bytes& frame, const Bytes& stripes, int height, bool flat) {
    const int base = height == 480 ? 40 : 0;
    if (flat) std::fill(frame.begin(), frame.begin() + 1024000, 0);
    for (int g = 0; g < 133; ++g) {
        for (int x = 0; x < 160; ++x) {
            const int r = stripes[960 * g + 2 * x] * 4 % 256;
            const int gr = stripes[960 * g + 320 + 2 * x] * 4 % 256;
            const int b = stripes[960 * g + 640 + 2 * x] * 4 % 256;
            for (int c = 4 * x; c < 4 * x + 4; ++c) {
                const int y = base + 3 * g + (!flat && c >= 4 * x + 2);
                put(frame, c, y, flat ? 0 : b, flat ? b : 0, 0);
                put(frame, c, y + 1, flat ? gr : 0, flat ? 0 : gr, 0);
                put(frame, c, y + 2, 0, 0, r);
            }
        }
    }
    for (int j = 0; j < 25; ++j)
        for (int i = 0; i < 110; ++i)
            if (const uint8_t v = title_badge[110 * j + i]) {
                const int grey = badge_palette[3 * v] * 4 % 256;
                put(frame, 400 + 2 * i, base + 20 + j, grey, grey, grey);
                put(frame, 401 + 2 * i, base + 20 + j, grey, grey, grey);
            }
}

struct Display : ::testing::Test {
    Bytes frame = noise(frame_bytes, 1), stripes = noise(rgb_screen_size, 2);
    void SetUp() override {
        true_color_frame = frame.data();
        rgb_screen = stripes.data();
    }
    void TearDown() override {
        true_color_frame = rgb_screen = nullptr;
        screen_height = 400;
    }
};

} // namespace

TEST_F(Display, Pal32AndTheBadgeGreys) {
    uint8_t palette[768] = {63, 1, 32, 64, 65, 255};
    build_pal32(palette);
    // Blue, green, red times four, kept in 8 bits: out-of-range levels wrap.
    EXPECT_EQ(Bytes(pal32, pal32 + 6), (Bytes{128, 4, 252, 252, 4, 0}));
    const int greys[32] = {63, 61, 58, 56, 54, 52, 50, 48, 46, 44, 41, 39, 37, 35, 33, 31,
                           29, 27, 24, 22, 20, 18, 16, 14, 12, 10, 7,  5,  3,  1,  0,  63};
    for (int i = 0; i < 32; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(badge_palette[3 * (224 + i) + c], greys[i]) << i;
}

// Every converter on every processor path this machine has.
TEST_F(Display, HiresKeepsTheSpecifiedRowsInBothHeightsOnEveryPath) {
    Bytes palette = noise(768, 3), picture = noise(640 * 480, 4);
    build_pal32(palette.data());
    for (int height : {400, 480}) {
        screen_height = height;
        // Kept rows: y advances by 2 when (accumulator div 5) mod 5 is 4 after adding 6.
        Bytes want = frame;
        std::vector<int> kept;
        for (int k = 0, y = 0, acc = 0; k < height; ++k) {
            kept.push_back(y);
            for (int x = 0; x < 640; ++x) {
                const uint8_t e = picture[640 * y + x];
                put(want, x, k, pal32[3 * e], pal32[3 * e + 1], pal32[3 * e + 2]);
            }
            acc += 6;
            y += height == 480 ? 1 : (acc / 5) % 5 == 4 ? 2 : 1;
        }
        if (height == 400) {
            EXPECT_EQ(std::vector<int>(kept.begin(), kept.begin() + 9),
                      (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 10}));
            EXPECT_EQ(kept.back(), 479);
        }
        const char* best = cpu_path();
        for (const char* path : supported_cpu_paths()) {
            use_cpu_path(path);
            present_hires(picture.data());
            EXPECT_EQ(frame, want) << height << " lines, path " << path;
        }
        use_cpu_path(best);
    }
}

TEST_F(Display, StripeDotsAndTheBadgeInBothHeightsAndTheFlatPathOnEveryPath) {
    const char* best = cpu_path();
    for (const char* path : supported_cpu_paths()) {
        use_cpu_path(path);
        for (bool flat : {false, true}) {
            for (int height : {400, 480}) {
                screen_height = height;
                frame = noise(frame_bytes, 1), true_color_frame = frame.data();
                Bytes want = frame;
                naive_stripes(want, stripes, height, flat);
                flat ? present_stripes_flat() : present_stripes();
                EXPECT_EQ(frame, want) << height << " lines, flat " << flat << ", path " << path;
            }
        }
    }
    use_cpu_path(best);
}
