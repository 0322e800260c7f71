#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "effects2d/mapped_texture.h"
#include "effects2d/plasma.h"
#include "maps_support.h"
#include "runtime/buffers.h"

namespace vantrose {
namespace {

using maps_test::checksum;

class MappedTexture : public ::testing::Test {
  protected:
    void SetUp() override {
        texture.assign(65536, 0);
        target.assign(65536, 0);
        maps_test::fill_noise(texture.data(), texture.size(), 36);
        map_source = texture.data();
        map_target = target.data();
        std::memset(map_table, 0, sizeof(map_table));
        map_drift_counters = {};
        map_swell_counters = {};
        map_wave_counters = {};
    }

    std::vector<uint8_t> texture;
    std::vector<uint8_t> target;
};

TEST(MapTables, Sine5) {
    const uint8_t start[] = {32, 36, 40, 43, 47, 50, 53, 56};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(sine5_table[i], start[i]) << i;
    for (int i = 11; i <= 14; ++i) EXPECT_EQ(sine5_table[i], 63) << i;
    EXPECT_EQ(sine5_table[64], 63) << "the exact peak is held below 64";
    int lowest = 255, highest = 0;
    for (uint8_t v : sine5_table)
        lowest = std::min<int>(lowest, v), highest = std::max<int>(highest, v);
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, 63);
}

TEST(MapTables, Sine3) {
    const uint8_t start[] = {64, 69, 73, 78, 82, 87, 91, 95};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(sine3_table[i], start[i]) << i;
    for (int i = 19; i <= 23; ++i) EXPECT_EQ(sine3_table[i], 127) << i;
    EXPECT_EQ(sine3_table[255], 61) << "the table does not join at its end";
    int lowest = 255, highest = 0;
    for (uint8_t v : sine3_table)
        lowest = std::min<int>(lowest, v), highest = std::max<int>(highest, v);
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, 127);
}

TEST_F(MappedTexture, DriftFirstFrameOffsets) {
    // After the first advance: rows + sine5[1] = 36, columns + 2 + sine3[1] = 69 + 2;
    // the entry's column byte picks the texture row.
    map_table[0] = 0x0000;
    map_table[2] = 0x10f0; // u = 0xf0, v = 0x10
    map_table[320 * 3 + 4] = 0xc8e0;
    map_drift_frame();
    auto texel = [&](int r, int c) { return texture[((r & 255) << 8) | (c & 255)]; };
    EXPECT_EQ(target[0], texel(36, 71));
    EXPECT_EQ(target[1], texel(36, 72));
    EXPECT_EQ(target[2], texel(0xf0 + 36, 0x10 + 71));
    EXPECT_EQ(target[3], texel(0xf0 + 36, 0x10 + 72));
    EXPECT_EQ(target[320 * 3 + 4], texel(0xe0 + 36, 0xc8 + 71));
    EXPECT_EQ(map_drift_counters.phase, 1);
    EXPECT_EQ(map_drift_counters.scroll, 2);
}

TEST_F(MappedTexture, PairAtTheLastTexelTakesTexelZero) {
    // Wave, first frame: entry column 255 reads sine5[0] = 32, row v + 1 + 32 = 255.
    map_table[0] = static_cast<uint16_t>((255 - 33) * 256 + 255);
    texture[65535] = 11;
    texture[0] = 22;
    texture[255 * 256] = 33;
    map_wave_frame();
    EXPECT_EQ(target[0], 11);
    EXPECT_EQ(target[1], 22);
}

TEST_F(MappedTexture, CountersComeBackAfter256Frames) {
    for (int frame = 1; frame <= 256; ++frame) {
        map_drift_frame();
        map_swell_frame();
        map_wave_frame();
        if (frame == 128) {
            EXPECT_EQ(map_drift_counters.scroll, 0);
            EXPECT_EQ(map_drift_counters.phase, 128);
        }
    }
    EXPECT_EQ(map_drift_counters.phase, 0);
    EXPECT_EQ(map_drift_counters.scroll, 0);
    EXPECT_EQ(map_wave_counters.phase, 0);
    EXPECT_EQ(map_wave_counters.scroll, 0);
    EXPECT_EQ(map_swell_counters.scroll, 0);
}

TEST_F(MappedTexture, LeavesTheRowsTheTransferSkips) {
    maps_test::fill_noise(reinterpret_cast<uint8_t*>(map_table), sizeof(map_table), 35);
    maps_test::mark_skipped_rows(target.data(), 0x3c);
    for (auto frame : {map_drift_frame, map_swell_frame, map_wave_frame}) {
        frame();
        EXPECT_TRUE(maps_test::skipped_rows_hold(target.data(), 0x3c));
    }
}

// Naive mapping from the formulas, with its own tables and counters.
struct NaiveMap {
    int kind; // 0 drift, 1 swell, 2 wave
    int phase = 0, scroll = 0;
    int sine5[256], sine3[256];

    explicit NaiveMap(int k) : kind(k) {
        const double pi = std::acos(-1.0);
        for (int i = 0; i < 256; ++i) {
            sine5[i] =
                static_cast<int>(std::floor(32 + 31.5 * std::sin(2 * pi * 5 * i / 256) + 0.5));
            sine3[i] = static_cast<int>(std::floor(64 + 63.5 * std::sin(2 * pi * i / 85.2) + 0.5));
        }
        sine5[64] = 63;
    }

    void frame(const uint16_t* map, const uint8_t* tex, uint8_t* out) {
        if (kind == 0) phase = (phase + 1) % 256, scroll = (scroll + 2) % 256;
        if (kind == 1) scroll = (scroll + 3) % 256;
        if (kind == 2) phase = (phase + 1) % 256, scroll = (scroll + 1) % 256;
        for (int y = 0; y < 200; ++y) {
            if (y % 3 == 2) continue;
            for (int x = 0; x < 320; x += 2) {
                const int p = y * 320 + x;
                const int u = map[p] % 256, v = map[p] / 256;
                int r, c;
                if (kind == 0) {
                    r = (u + sine5[phase]) % 256;
                    c = (v + scroll + sine3[phase]) % 256;
                } else if (kind == 1) {
                    r = (v + scroll + sine3[(u + scroll) % 256]) % 256;
                    c = u;
                } else {
                    r = (v + scroll + sine5[(u + phase) % 256]) % 256;
                    c = u;
                }
                const int o = r * 256 + c;
                out[p] = tex[o];
                out[p + 1] = tex[(o + 1) % 65536];
            }
        }
    }
};

TEST_F(MappedTexture, GoldenFrames) {
    struct Case {
        void (*frame)();
        uint64_t sums[3];
    };
    const Case cases[] = {
        {map_drift_frame, {2957277209986417227u, 3778996778964211226u, 3145947537381106160u}},
        {map_swell_frame, {17472299006219880721u, 10900333126277004196u, 11159880818756613782u}},
        {map_wave_frame, {5311121766258708912u, 18117364137804926024u, 6855036509652308744u}}};
    for (int kind = 0; kind < 3; ++kind) {
        SetUp();
        maps_test::fill_noise(reinterpret_cast<uint8_t*>(map_table), sizeof(map_table), 35);
        maps_test::fill_noise(target.data(), 64000, 37);
        std::vector<uint8_t> naive_target = target;
        NaiveMap naive(kind);
        std::vector<uint64_t> sums;
        for (int frame = 1; frame <= 100; ++frame) {
            cases[kind].frame();
            naive.frame(map_table, texture.data(), naive_target.data());
            if (frame == 1 || frame == 2 || frame == 100) {
                ASSERT_EQ(std::memcmp(target.data(), naive_target.data(), 64000), 0)
                    << "kind " << kind << " frame " << frame;
                sums.push_back(checksum(target.data(), 64000));
            }
        }
        EXPECT_EQ(sums, std::vector<uint64_t>(cases[kind].sums, cases[kind].sums + 3)) << kind;
    }
}

TEST_F(MappedTexture, WritesViews) {
    if (std::getenv("VANTROSE_PNG_DIR") == nullptr) GTEST_SKIP() << "set VANTROSE_PNG_DIR to look";
    // A tunnel map over a checkerboard texture with a diagonal stripe.
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const double dx = x - 160.0, dy = y - 100.0;
            const double dist = std::sqrt(dx * dx + dy * dy) + 1.0;
            const int u = static_cast<int>((std::atan2(dy, dx) + M_PI) * 128.0 / M_PI) & 255;
            const int v = static_cast<int>(6000.0 / dist) & 255;
            map_table[y * 320 + x] = static_cast<uint16_t>(v * 256 + u);
        }
    }
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            texture[r * 256 + c] =
                static_cast<uint8_t>(std::abs(r - c) < 6           ? 250
                                     : (((r / 32) ^ (c / 32)) & 1) ? 60 + r / 4
                                                                   : 150 + c / 4);
    const std::vector<uint8_t> palette = maps_test::view_palette();
    maps_test::write_png("map_texture", texture.data(), 256, 256, palette.data());
    const char* names[] = {"drift", "swell", "wave"};
    void (*frames[])() = {map_drift_frame, map_swell_frame, map_wave_frame};
    for (int i = 0; i < 3; ++i) {
        for (int n = 0; n < 30; ++n) frames[i]();
        maps_test::write_png(std::string("map_") + names[i], target.data(), 320, 200,
                             palette.data());
    }
}

} // namespace
} // namespace vantrose
