// The twirl and the ripple against naive frames from their formulas, plus their specified examples.
#include <gtest/gtest.h>

#include <cstring>

#include "effects2d/radial_tables.h"
#include "effects2d/ripple.h"
#include "effects2d/twirl.h"
#include "runtime/ticks.h"
#include "tests/effects2d/support.h"

using namespace vantrose;
using namespace vantrose::effects_test;

namespace {

int floor_div(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// One division per pixel, nothing precomputed.
void naive_twirl(const uint8_t* src, uint8_t* dst, int32_t t) {
    for (int y = 0; y < 200; ++y) {
        if (y % 3 == 2) continue;
        for (int x = 0; x < 320; x += 2) {
            const int32_t d = distance_table[x * 200 + y];
            const int a = wrap16(floor_div(t / d, 2)) % 256;
            const int32_t dx = 160 - x, dy = 100 - y, s = sine_table[a], c = cosine_table[a];
            const int u = 160 + floor_div(s * dy + c * dx, 65536);
            const int v = 100 + floor_div(c * dy + s * dx, 65536);
            dst[y * 320 + x] = src[v * 320 + u];
            dst[y * 320 + x + 1] = src[v * 320 + u + 1];
        }
    }
}

void naive_ripple(const uint8_t* pm, const uint8_t* wm, const uint8_t* pic, uint8_t* out,
                  uint32_t pulse, uint32_t wave) {
    for (int y = 0; y < 200; ++y) {
        if (y % 3 == 2) continue;
        for (int x = 0; x < 320; ++x) {
            const int p = y * 320 + x;
            const int r = static_cast<int>((pm[p] + pulse % 256) % 64);
            const int a = 3 + (r < 32 ? r : 63 - r);
            const int64_t i = ((static_cast<int64_t>(wm[p]) - wave) % 1024 + 1024) % 1024;
            const int d = floor_div(static_cast<int8_t>(wm[64000 + i]) * a, 256);
            out[p] = static_cast<uint8_t>(((pic[p] - d) % 256 + 256) % 256);
        }
    }
}

} // namespace

TEST(RadialTables, SpecifiedValues) {
    build_radial_tables();
    const int distances[][3] = {{0, 0, 188},   {0, 199, 188}, {319, 0, 187},   {319, 199, 187},
                                {0, 100, 160}, {160, 0, 100}, {319, 100, 159}, {160, 199, 99},
                                {160, 100, 1}, {161, 101, 1}, {159, 99, 1},    {163, 104, 5}};
    for (const auto& [x, y, d] : distances)
        EXPECT_EQ(distance_table[x * 200 + y], d) << x << "," << y;
    // The short pi, truncated.
    const int sines[][2] = {{1, 804}, {2, 1607},   {32, 23169},  {64, 32766},
                            {128, 0}, {129, -804}, {192, -32766}};
    for (const auto& [i, v] : sines) EXPECT_EQ(sine_table[i], v) << i;
    const int cosines[][2] = {{0, 32767}, {1, 32757}, {3, 32678}, {64, 0}, {128, -32766}, {192, 0}};
    for (const auto& [i, v] : cosines) EXPECT_EQ(cosine_table[i], v) << i;
}

TEST(Twirl, MatchesTheNaiveFrameAtTheStrengthsOfTheWaveTick) {
    build_radial_tables();
    Bytes source = noise(65536, 20), target = noise(65536, 21), naive = target;
    twirl_source = source.data(), twirl_target = target.data();
    // The strength comes from wave_tick, five ticks before each frame, as in the show.
    wave_phase = 0;
    wave_sign = 1;
    for (int frame = 1; frame <= 130; ++frame) {
        for (int tick = 0; tick < 5; ++tick) wave_tick();
        twirl_frame();
        if (frame % 7 && frame > 2) continue;
        naive_twirl(source.data(), naive.data(), wave_angle.load());
        ASSERT_EQ(target, naive) << "frame " << frame;
    }
    // Strength +-500 at distance 100 gives t / d = +-5: angle 2, but 253 (not 254) for -500.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) source[y * 320 + x] = static_cast<uint8_t>(x);
    for (const auto& [t, a] : {std::pair{500, 2}, std::pair{-500, 253}, std::pair{0, 0}}) {
        wave_angle.store(t);
        twirl_frame();
        EXPECT_EQ(target[160], 160 + ((sine_table[a] * 100) >> 16)) << t;
    }
    wave_angle.store(0);
    EXPECT_EQ(target[0], 239) << "zero strength: the centre magnified and half turned";
}

TEST(Ripple, SpecifiedExamplesAndTheNaiveFrameOverTime) {
    Bytes pulse(65536), wave(65536), picture(65536, 100), target(80000), palette(768);
    ripple_pulse_map = pulse.data(), ripple_wave_map = wave.data();
    ripple_picture = picture.data(), ripple_target = target.data(), ripple_palette = palette.data();
    // Pulse 0: pulse map 31 gives amplitude 34, 0 gives 3. Wave 0: the sample index is the map.
    const struct {
        uint8_t pulse_map, picture;
        int8_t sample;
        int expected;
    } cases[] = {{31, 100, -128, 117}, {32, 100, 127, 84}, {0, 100, 1, 100},
                 {0, 100, -1, 101},    {31, 5, 76, 251},   {31, 250, -128, 11}};
    for (int n = 0; n < 6; ++n) {
        pulse[n] = cases[n].pulse_map, picture[n] = cases[n].picture;
        wave[n] = static_cast<uint8_t>(n), wave[64000 + n] = static_cast<uint8_t>(cases[n].sample);
    }
    ripple_render(0, 0);
    for (int n = 0; n < 6; ++n) EXPECT_EQ(target[n], cases[n].expected) << n;

    pulse = noise(65536, 31), wave = noise(65536, 32), picture = noise(65536, 33);
    target = noise(80000, 3);
    ripple_pulse_map = pulse.data(), ripple_wave_map = wave.data(), ripple_picture = picture.data();
    ripple_target = target.data();
    Bytes naive = target;
    ripple_time = ripple_wave_time = 0.0f;
    for (uint32_t frame = 1; frame <= 100; ++frame) {
        ripple_frame(); // pulse + 1, wave + 4
        naive_ripple(pulse.data(), wave.data(), picture.data(), naive.data(), frame, 4 * frame);
        if (frame <= 2 || frame % 17 == 0) {
            ASSERT_EQ(target, naive) << "frame " << frame;
        }
    }
    // The clocks wrap at 16 bits and the rings carry on.
    ripple_time = 200000.0f;
    ripple_wave_time = 800000.0f;
    ripple_frame();
    naive_ripple(pulse.data(), wave.data(), picture.data(), naive.data(), 200001 % 65536,
                 800004 % 65536);
    EXPECT_EQ(target, naive);
    ripple_time = ripple_wave_time = 0.0f;
}
