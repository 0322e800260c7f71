#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "effects2d/plasma.h"
#include "maps_support.h"
#include "runtime/buffers.h"

namespace vantrose {
namespace {

using maps_test::checksum;

void zero_counters(PlasmaState& state) {
    state.phase1 = state.phase2 = state.phase3 = state.phase4 = 0;
    state.plasma_offset = 0;
}

class Plasma : public ::testing::Test {
  protected:
    void SetUp() override {
        texture.assign(65536, 0);
        target.assign(65536, 0);
        map_source = texture.data();
        map_target = target.data();
        std::memset(map_table, 0, sizeof(map_table));
        for (PlasmaState* s : {&plasma_shear_state, &plasma_fold_state, &plasma_displace_state})
            zero_counters(*s);
    }

    std::vector<uint8_t> texture;
    std::vector<uint8_t> target;
};

// Naive plasma from the formulas, with its own ramp, phases and offset.
struct NaivePlasma {
    int step1;
    int kind; // 0 shear, 1 fold, 2 displace
    int phase[4] = {0, 0, 0, 0};
    int column = 0, row_byte = 0;
    int row[256] = {};
    std::vector<int> tex = std::vector<int>(65536);

    static int ramp(int i) {
        int j = i / 2;
        if (j <= 31) return 33 + j;
        if (j <= 95) return 95 - j;
        return j - 95;
    }
    static int wrap(int v) { return ((v % 256) + 256) % 256; }

    void frame(const uint16_t* map, uint8_t* out) {
        phase[0] = wrap(phase[0] + step1);
        phase[1] = wrap(phase[1] + 5);
        phase[2] = wrap(phase[2] + 5);
        phase[3] = wrap(phase[3] - 3);
        int p[4] = {phase[0], phase[1], phase[2], phase[3]};
        for (int n = 0; n < 256; ++n) {
            int index = n == 0 ? 0 : 256 - n;
            p[0] = wrap(p[0] + 6), p[1] = wrap(p[1] - 3), p[2] = wrap(p[2] - 5);
            p[3] = wrap(p[3] + 3);
            row[index] = (ramp(p[2]) + ramp(p[0]) + ramp(p[1]) + ramp(p[3])) % 256;
        }
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) tex[r * 256 + c] = (row[255 - r] + row[255 - c]) / 2;
        if (kind == 0) column = (column + 2) % 256;
        if (kind == 1) column = (column + 2) % 256, row_byte = (row_byte + 1) % 256;
        const int offset = row_byte * 256 + column;
        for (int y = 0; y < 200; ++y) {
            if (y % 3 == 2) continue;
            for (int x = 0; x < 320; x += 2) {
                const int p0 = y * 320 + x;
                if (kind == 2) {
                    if (x % 4 != 0) continue;
                    for (int h = 0; h < 2; ++h) {
                        int e = map[p0 + h];
                        int t = tex[e];
                        int e2 = (e + t + 256 * (t / 8)) % 65536;
                        out[p0 + 2 * h] = static_cast<uint8_t>(e2 % 256);
                        out[p0 + 2 * h + 1] = static_cast<uint8_t>(e2 / 256);
                    }
                    continue;
                }
                int m = (map[p0] + offset) % 65536;
                int o;
                if (kind == 0) {
                    int v = m / 256;
                    int u = (m % 256 + row[v]) % 256;
                    o = v * 256 + u;
                } else {
                    int v = m / 256, u = m % 256;
                    int v2 = (v + ramp(v)) % 256;
                    int u2 = (u + 2 * v2) % 256;
                    o = v2 * 256 + u2;
                }
                out[p0] = static_cast<uint8_t>(tex[o]);
                out[p0 + 1] = static_cast<uint8_t>(tex[(o + 1) % 65536]);
            }
        }
    }
};

TEST(PlasmaTables, RampIsTheSameZigzagInEveryCopy) {
    for (const PlasmaState* s : {&plasma_shear_state, &plasma_fold_state, &plasma_displace_state}) {
        const uint8_t* ramp = s->ramp_table;
        EXPECT_EQ(ramp[0], 33);
        EXPECT_EQ(ramp[1], 33);
        EXPECT_EQ(ramp[60], 63);
        EXPECT_EQ(ramp[62], 64);
        EXPECT_EQ(ramp[63], 64);
        EXPECT_EQ(ramp[64], 63);
        EXPECT_EQ(ramp[65], 63);
        EXPECT_EQ(ramp[190], 0);
        EXPECT_EQ(ramp[191], 0);
        EXPECT_EQ(ramp[192], 1);
        EXPECT_EQ(ramp[194], 2);
        EXPECT_EQ(ramp[254], 32);
        EXPECT_EQ(ramp[255], 32);
        for (int i = 0; i < 256; ++i) EXPECT_LE(ramp[i], 64) << i;
        EXPECT_EQ(std::memcmp(ramp, plasma_shear_state.ramp_table, 256), 0);
    }
}

TEST_F(Plasma, RowFillsZeroFirstThenDownwardsWithPreAdvancedPhases) {
    plasma_shear_frame();
    const uint8_t* row = plasma_shear_state.plasma_row;
    // First entry (index 0): phases after the frame step (-4, 5, 5, -3) and one entry step.
    EXPECT_EQ(row[0], 33 + 34 + 34 + 33);
    // Second entry goes to index 255, the last to index 1.
    EXPECT_EQ(row[255], 37 + 32 + 30 + 34);
    EXPECT_EQ(row[1], 31 + 35 + 35 + 31);
    // The stored phases moved by their frame steps only.
    EXPECT_EQ(plasma_shear_state.phase1, 252);
    EXPECT_EQ(plasma_shear_state.phase2, 5);
    EXPECT_EQ(plasma_shear_state.phase3, 5);
    EXPECT_EQ(plasma_shear_state.phase4, 253);
    plasma_displace_frame();
    EXPECT_EQ(plasma_displace_state.phase1, 246);
}

TEST_F(Plasma, FourPeaksSumToZero) {
    // Stored phases chosen so that the first entry reads ramp[62] = 64 four times.
    plasma_fold_state.phase1 = 60;
    plasma_fold_state.phase2 = 60;
    plasma_fold_state.phase3 = 62;
    plasma_fold_state.phase4 = 62;
    plasma_fold_frame();
    EXPECT_EQ(plasma_fold_state.plasma_row[0], 0);
    EXPECT_EQ(texture[255 * 256 + 255], 0);
}

TEST_F(Plasma, TextureIsSymmetricMeanOfTheRow) {
    for (int frame = 0; frame < 3; ++frame) plasma_shear_frame();
    const uint8_t* row = plasma_shear_state.plasma_row;
    for (int r = 0; r < 256; ++r) {
        for (int c = 0; c < 256; ++c) {
            ASSERT_EQ(texture[r * 256 + c], texture[c * 256 + r]) << r << "," << c;
            ASSERT_EQ(texture[r * 256 + c], (row[255 - r] + row[255 - c]) >> 1) << r << "," << c;
        }
    }
}

TEST_F(Plasma, OffsetBytesWrapOnTheirOwn) {
    std::vector<uint16_t> fold(301);
    for (int frame = 1; frame <= 300; ++frame) {
        plasma_shear_frame();
        plasma_fold_frame();
        ASSERT_EQ(plasma_shear_state.plasma_offset >> 8, 0) << frame;
        ASSERT_EQ(plasma_shear_state.plasma_offset & 255, (2 * frame) % 256) << frame;
        fold[frame] = plasma_fold_state.plasma_offset;
    }
    // Column byte every 128 frames, row byte every 256, neither carrying into the other.
    EXPECT_EQ(fold[1], 1 * 256 + 2);
    EXPECT_EQ(fold[127], 127 * 256 + 254);
    EXPECT_EQ(fold[128], 128 * 256 + 0);
    EXPECT_EQ(fold[255], 255 * 256 + 254);
    EXPECT_EQ(fold[256], 0);
    EXPECT_EQ(plasma_displace_state.plasma_offset, 0);
}

TEST_F(Plasma, MapEntryCarriesIntoTheRowButTheShearDoesNot) {
    // First frame offset is column 2: 0x05ff moves to row 6, 0xffff wraps to row 0.
    map_table[0] = 0x05ff;
    map_table[2] = 0xffff;
    plasma_shear_frame();
    const uint8_t* row = plasma_shear_state.plasma_row;
    const int u6 = (1 + row[6]) & 255;
    EXPECT_EQ(target[0], texture[6 * 256 + u6]);
    const int u0 = (1 + row[0]) & 255;
    EXPECT_EQ(target[2], texture[0 * 256 + u0]);
    // A shear that runs past 255 stays on its row: row[v] is added to the column alone.
    const int v = 200;
    const int u = 255 - 2; // + offset 2 = 255, then + row[v] wraps the column only
    SetUp();
    map_table[4] = static_cast<uint16_t>(v * 256 + u);
    plasma_shear_frame();
    ASSERT_GT(plasma_shear_state.plasma_row[v], 0);
    const int wrapped = (255 + plasma_shear_state.plasma_row[v]) & 255;
    EXPECT_EQ(target[4], texture[v * 256 + wrapped]);
    EXPECT_EQ(target[5], texture[v * 256 + wrapped + 1]);
}

TEST_F(Plasma, PairAtTheLastTexelTakesTexelZero) {
    // Shear from a set phase: learn row[255], then aim the first pair at offset 65535.
    // (The fold never reaches texture row 255: v + ramp[v] skips it.)
    auto prepare = [] { plasma_shear_state.phase1 = 100, plasma_shear_state.phase3 = 40; };
    prepare();
    plasma_shear_frame();
    const int shear = plasma_shear_state.plasma_row[255];
    SetUp();
    prepare();
    map_table[0] = static_cast<uint16_t>(0xff00 | ((255 - shear - 2) & 255));
    plasma_shear_frame();
    ASSERT_NE(texture[0], texture[255 * 256]) << "texel 0 must differ from the row's first";
    EXPECT_EQ(target[0], texture[65535]);
    EXPECT_EQ(target[1], texture[0]);
}

TEST_F(Plasma, LeavesTheRowsTheTransferSkips) {
    maps_test::fill_noise(reinterpret_cast<uint8_t*>(map_table), sizeof(map_table), 5);
    maps_test::mark_skipped_rows(target.data(), 0x5a);
    for (auto frame : {plasma_shear_frame, plasma_fold_frame, plasma_displace_frame}) {
        frame();
        EXPECT_TRUE(maps_test::skipped_rows_hold(target.data(), 0x5a));
    }
}

struct GoldenCase {
    void (*frame)();
    int step1;
    int kind;
    uint64_t sums[3];
};

TEST_F(Plasma, GoldenFrames) {
    const GoldenCase cases[] = {
        {plasma_shear_frame,
         -4,
         0,
         {262468652082143253u, 9438366908327823124u, 6212042855217843700u}},
        {plasma_fold_frame,
         -4,
         1,
         {16457218380769350855u, 13422886279382103672u, 12835611262663921746u}},
        {plasma_displace_frame,
         -10,
         2,
         {4230638814847772130u, 18295786135750982824u, 4230122733520065846u}},
    };
    for (const GoldenCase& golden : cases) {
        SetUp();
        maps_test::fill_noise(reinterpret_cast<uint8_t*>(map_table), sizeof(map_table), 24);
        maps_test::fill_noise(target.data(), 64000, 25);
        std::vector<uint8_t> naive_target = target;
        NaivePlasma naive{golden.step1, golden.kind};
        std::vector<uint64_t> sums;
        for (int frame = 1; frame <= 100; ++frame) {
            golden.frame();
            naive.frame(map_table, naive_target.data());
            if (frame == 1 || frame == 2 || frame == 100) {
                for (int i = 0; i < 65536; ++i) ASSERT_EQ(texture[i], naive.tex[i]) << i;
                ASSERT_EQ(std::memcmp(target.data(), naive_target.data(), 64000), 0)
                    << "kind " << golden.kind << " frame " << frame;
                sums.push_back(checksum(target.data(), 64000));
            }
        }
        EXPECT_EQ(sums, std::vector<uint64_t>(golden.sums, golden.sums + 3)) << golden.kind;
    }
}

// A tunnel: column byte = angle, row byte = depth.
void tunnel_map() {
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const double dx = x - 160.0, dy = y - 100.0;
            const double dist = std::sqrt(dx * dx + dy * dy) + 1.0;
            const int u = static_cast<int>((std::atan2(dy, dx) + M_PI) * 128.0 / M_PI) & 255;
            const int v = static_cast<int>(6000.0 / dist) & 255;
            map_table[y * 320 + x] = static_cast<uint16_t>(v * 256 + u);
        }
    }
}

TEST_F(Plasma, WritesViews) {
    if (std::getenv("VANTROSE_PNG_DIR") == nullptr) GTEST_SKIP() << "set VANTROSE_PNG_DIR to look";
    tunnel_map();
    const std::vector<uint8_t> palette = maps_test::view_palette();
    const char* names[] = {"shear", "fold", "displace"};
    void (*frames[])() = {plasma_shear_frame, plasma_fold_frame, plasma_displace_frame};
    for (int i = 0; i < 3; ++i) {
        for (int n = 0; n < 40; ++n) frames[i]();
        maps_test::write_png(std::string("plasma_") + names[i], target.data(), 320, 200,
                             palette.data());
        maps_test::write_png(std::string("plasma_texture_") + names[i], texture.data(), 256, 256,
                             palette.data());
    }
}

} // namespace
} // namespace vantrose
