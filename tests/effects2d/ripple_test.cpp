#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "content/archive_writer.h"
#include "effects2d/ripple.h"
#include "maps_support.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"

namespace vantrose {
namespace {

using maps_test::checksum;

class Ripple : public ::testing::Test {
  protected:
    void SetUp() override {
        pulse.assign(65536, 0);
        wave.assign(65536, 0);
        picture.assign(65536, 0);
        target.assign(80000, 0);
        palette.assign(768, 0);
        ripple_pulse_map = pulse.data();
        ripple_wave_map = wave.data();
        ripple_picture = picture.data();
        ripple_target = target.data();
        ripple_palette = palette.data();
        ripple_time = 0.0f;
        ripple_wave_time = 0.0f;
    }
    void TearDown() override {
        ripple_time = 0.0f;
        ripple_wave_time = 0.0f;
    }

    void set_sample(int i, int8_t s) { wave[64000 + i] = static_cast<uint8_t>(s); }
    void noise_inputs() {
        maps_test::fill_noise(pulse.data(), 64000, 31);
        maps_test::fill_noise(wave.data(), 65024, 32);
        maps_test::fill_noise(picture.data(), 64000, 33);
        maps_test::fill_noise(target.data(), 80000, 3);
    }

    std::vector<uint8_t> pulse, wave, picture, target, palette;
};

// Naive frame from the formulas.
void naive_ripple(const uint8_t* pm, const uint8_t* wm, const uint8_t* pic, uint8_t* out,
                  uint32_t pulse, uint32_t wave) {
    for (int y = 0; y < 200; ++y) {
        if (y % 3 == 2) continue;
        for (int x = 0; x < 320; ++x) {
            const int p = y * 320 + x;
            const int r = static_cast<int>((pm[p] + pulse % 256) % 64);
            const int a = 3 + (r < 32 ? r : 63 - r);
            const int64_t i = ((static_cast<int64_t>(wm[p]) - wave) % 1024 + 1024) % 1024;
            const int s = static_cast<int8_t>(wm[64000 + i]);
            const int product = s * a;
            const int d = product >= 0 ? product / 256 : -((-product + 255) / 256);
            out[p] = static_cast<uint8_t>(((pic[p] - d) % 256 + 256) % 256);
        }
    }
}

TEST_F(Ripple, SampleTimesAmplitudeShiftsTheIndex) {
    // Pulse 0: pulse map 31 gives amplitude 34, pulse map 0 amplitude 3. Wave 0: i = wave map.
    std::memset(picture.data(), 100, 64000);
    const struct {
        uint8_t pulse_map;
        int8_t sample;
        int expected;
    } cases[] = {
        {31, -128, 117}, // -4352 >> 8 = -17: brighter by 17
        {32, 127, 84},   // 4318 >> 8 = 16
        {0, 1, 100},     // 3 >> 8 = 0
        {0, -1, 101},    // -3 >> 8 = -1: small negative samples still brighten
        {31, 0, 100},    // no wave, whatever the amplitude
    };
    for (int n = 0; n < 5; ++n) {
        pulse[n] = cases[n].pulse_map;
        wave[n] = static_cast<uint8_t>(n);
        set_sample(n, cases[n].sample);
    }
    ripple_render(0, 0);
    for (int n = 0; n < 5; ++n) EXPECT_EQ(target[n], cases[n].expected) << n;
}

TEST_F(Ripple, IndicesWrapWithoutClamping) {
    picture[0] = 5;   // lowered by 10: 251
    picture[1] = 250; // raised by 17: 11
    pulse[0] = pulse[1] = 31;
    wave[0] = 0;
    wave[1] = 1;
    set_sample(0, 76); // 76 * 34 >> 8 = 10
    set_sample(1, -128);
    ripple_render(0, 0);
    EXPECT_EQ(target[0], 251);
    EXPECT_EQ(target[1], 11);
}

TEST_F(Ripple, OnlyTheLowBitsOfPulseAndWaveCount) {
    noise_inputs();
    ripple_render(5, 12);
    const std::vector<uint8_t> first = target;
    ripple_render(5 + 256 * 7, 12 + 1024 * 3);
    EXPECT_EQ(target, first);
    // The amplitude is a zigzag of period 64 in the pulse phase.
    ripple_render(5 + 64, 12);
    EXPECT_EQ(target, first);
}

TEST_F(Ripple, WavePositionWrapsBelowZero) {
    // Wave map 0 minus wave 4 reads sample 1020.
    pulse[0] = 31;
    picture[0] = 100;
    set_sample(1020, -128);
    ripple_render(0, 4);
    EXPECT_EQ(target[0], 117);
}

TEST_F(Ripple, FirstFrameIsPulseOneWaveFour) {
    noise_inputs();
    std::vector<uint8_t> expected = target;
    ripple_target = expected.data();
    ripple_render(1, 4);
    ripple_target = target.data();
    ripple_frame();
    EXPECT_EQ(ripple_time, 1.0f);
    EXPECT_EQ(ripple_wave_time, 4.0f);
    EXPECT_EQ(target, expected);
}

TEST_F(Ripple, ClocksPastSixteenBitsKeepWrapping) {
    // The wave clock passes 65535 after 16384 frames; the rings carry on from wave 0.
    noise_inputs();
    std::vector<uint8_t> expected = target;
    ripple_target = expected.data();
    ripple_render(65536 & 0xffff, 65536 & 0xffff);
    ripple_target = target.data();
    ripple_time = 65535.0f;
    ripple_wave_time = 65532.0f;
    ripple_frame();
    EXPECT_EQ(target, expected);
    ripple_time = 200000.0f;
    ripple_wave_time = 800000.0f;
    ripple_frame(); // 200001 and 800004, modulo 65536
    ripple_target = expected.data();
    ripple_render(200001 % 65536, 800004 % 65536);
    EXPECT_EQ(target, expected);
}

TEST_F(Ripple, LeavesTheRowsTheTransferSkips) {
    noise_inputs();
    std::vector<uint8_t> before = target;
    maps_test::mark_skipped_rows(target.data(), 0x77);
    ripple_frame();
    EXPECT_TRUE(maps_test::skipped_rows_hold(target.data(), 0x77));
    EXPECT_TRUE(std::equal(target.begin() + 64000, target.end(), before.begin() + 64000));
}

TEST_F(Ripple, GoldenFrames) {
    noise_inputs();
    std::vector<uint8_t> naive = target;
    std::vector<uint64_t> sums;
    for (uint32_t frame = 1; frame <= 100; ++frame) {
        ripple_frame();
        naive_ripple(pulse.data(), wave.data(), picture.data(), naive.data(), frame, 4 * frame);
        if (frame == 1 || frame == 2 || frame == 100) {
            ASSERT_EQ(std::memcmp(target.data(), naive.data(), 64000), 0) << "frame " << frame;
            sums.push_back(checksum(target.data(), 64000));
        }
    }
    EXPECT_EQ(sums, (std::vector<uint64_t>{14681429561440211243u, 3831794065136901988u,
                                           7973497804639983643u}));
}

TEST(RippleSetup, LoadsEntries31To34IntoItsBuffers) {
    std::vector<Bytes> entries(35);
    entries[31] = Bytes(64000);
    entries[32] = Bytes(65024);
    entries[33] = Bytes(64000);
    entries[34] = Bytes(768);
    for (int e = 31; e <= 34; ++e)
        maps_test::fill_noise(entries[e].data(), entries[e].size(), static_cast<uint32_t>(e));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("maps_ripple_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    write_file((folder / "vantrose.dat").string(), build_archive(entries));
    const std::string saved_path = archive_path;
    archive_path = (folder / "vantrose.dat").string();

    allocate_buffers();
    ripple_setup();
    EXPECT_EQ(ripple_pulse_map, buf0);
    EXPECT_EQ(ripple_wave_map, buf1);
    EXPECT_EQ(ripple_picture, buf2);
    EXPECT_EQ(ripple_target, buf3);
    EXPECT_EQ(ripple_palette, pal4);
    EXPECT_EQ(std::memcmp(buf0, entries[31].data(), 64000), 0);
    EXPECT_EQ(std::memcmp(buf1, entries[32].data(), 65024), 0) << "map and wave profile";
    EXPECT_EQ(std::memcmp(buf2, entries[33].data(), 64000), 0);
    EXPECT_EQ(std::memcmp(pal4, entries[34].data(), 768), 0);
    free_buffers();
    archive_path = saved_path;
    std::filesystem::remove_all(folder);
}

TEST_F(Ripple, WritesViews) {
    if (std::getenv("VANTROSE_PNG_DIR") == nullptr) GTEST_SKIP() << "set VANTROSE_PNG_DIR to look";
    // Rings about a point off centre over a checkered gradient.
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const double r = std::hypot(x - 120.0, y - 90.0);
            wave[y * 320 + x] = static_cast<uint8_t>(std::min(255.0, r * 1.2));
            pulse[y * 320 + x] = static_cast<uint8_t>(x / 5 + y / 7);
            picture[y * 320 + x] =
                static_cast<uint8_t>(x * 120 / 320 + (((x / 40 + y / 40) & 1) ? 0 : 60));
        }
    }
    for (int i = 0; i < 1024; ++i)
        set_sample(i, static_cast<int8_t>(127.0 * std::sin(i * 2 * M_PI / 24.0)));
    const std::vector<uint8_t> view = maps_test::view_palette();
    maps_test::write_png("ripple_picture", picture.data(), 320, 200, view.data());
    for (int frame = 1; frame <= 90; ++frame) {
        ripple_frame();
        if (frame % 30 == 0)
            maps_test::write_png("ripple_" + std::to_string(frame), target.data(), 320, 200,
                                 view.data());
    }
}

} // namespace
} // namespace vantrose
