#include <array>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "effects2d/radial_tables.h"
#include "runtime/buffers.h"
#include "runtime/ticks.h"

using namespace vantrose;

namespace {

uint8_t** const palettes[8] = {&pal0, &pal1, &pal2, &pal3, &pal4, &pal5, &pal6, &pal7};

class Ticks : public ::testing::Test {
  protected:
    void SetUp() override {
        allocate_buffers();
        fill_palettes();
    }
    // Palette p holds level 10 * p everywhere, so every pair has somewhere to go.
    static void fill_palettes() {
        for (int p = 0; p < 8; ++p) std::memset(*palettes[p], 10 * p, palette_size);
    }
    void TearDown() override { free_buffers(); }
    static int level(int p) { return (*palettes[p])[0]; }
    static bool uniform(int p) {
        for (size_t i = 1; i < palette_size; ++i)
            if ((*palettes[p])[i] != (*palettes[p])[0]) return false;
        return true;
    }
};

struct Fade {
    const char* name;
    void (*routine)();
    std::vector<std::pair<int, int>> pairs; // (moving palette, target)
};

} // namespace

TEST_F(Ticks, FadeRoutinesStepExactlyTheirPairsOncePerTick) {
    const Fade fades[] = {
        {"tick_fade_7_1", tick_fade_7_1, {{7, 1}}},
        {"tick_fade_6_0", tick_fade_6_0, {{6, 0}}},
        {"tick_fade_6_0_7_1", tick_fade_6_0_7_1, {{6, 0}, {7, 1}}},
        {"tick_fade_7_5", tick_fade_7_5, {{7, 5}}},
        {"tick_fade_7_0_6_3", tick_fade_7_0_6_3, {{7, 0}, {6, 3}}},
        {"tick_fade_6_3", tick_fade_6_3, {{6, 3}}},
        {"tick_fade_0_4", tick_fade_0_4, {{0, 4}}},
        {"idle_tick", idle_tick, {}},
    };
    for (const Fade& fade : fades) {
        fill_palettes();
        fade.routine();
        for (int p = 0; p < 8; ++p) {
            int expected = 10 * p;
            for (const auto& [moving, target] : fade.pairs)
                if (moving == p) expected += target > p ? 1 : -1;
            EXPECT_EQ(level(p), expected) << fade.name << " pal" << p;
            EXPECT_TRUE(uniform(p)) << fade.name << " pal" << p;
        }
    }
}

TEST_F(Ticks, FadeCompletesInExactly63Ticks) {
    std::memset(pal6, 0, palette_size);
    std::memset(pal0, 63, palette_size);
    for (int tick = 1; tick <= 62; ++tick) tick_fade_6_0();
    EXPECT_NE(std::memcmp(pal6, pal0, palette_size), 0);
    tick_fade_6_0();
    EXPECT_EQ(std::memcmp(pal6, pal0, palette_size), 0);
    tick_fade_6_0();
    EXPECT_EQ(level(6), 63);
}

TEST_F(Ticks, WaveTickIsA512TickSineWave) {
    build_radial_tables();
    wave_phase = 0;
    wave_sign = 1;
    std::vector<int32_t> angle(1);
    for (int tick = 1; tick <= 520; ++tick) {
        wave_tick();
        angle.push_back(wave_angle.load());
    }
    EXPECT_EQ(angle[1], 0);
    EXPECT_EQ(angle[2], 0);
    EXPECT_EQ(angle[3], sine_table[1]);
    EXPECT_EQ(angle[129], 32766);
    EXPECT_EQ(angle[130], 32766);
    EXPECT_EQ(angle[256], sine_table[127]);
    EXPECT_EQ(angle[257], 0);
    EXPECT_EQ(angle[258], 0);
    EXPECT_EQ(angle[259], -sine_table[1]);
    EXPECT_EQ(angle[385], -32766);
    EXPECT_EQ(angle[386], -32766);
    EXPECT_EQ(angle[513], 0);
    EXPECT_EQ(angle[515], sine_table[1]); // rising again
    for (int tick = 1; tick <= 520; ++tick) {
        ASSERT_LE(angle[tick], 32766);
        ASSERT_GE(angle[tick], -32766);
    }
}

TEST_F(Ticks, ScrollTickAddsOneRowEvery18Ticks) {
    scroll_ticks = 0;
    scroll_row = 100;
    std::vector<int> steps;
    for (int tick = 1; tick <= 60; ++tick) {
        const uint32_t before = scroll_row.load();
        scroll_tick();
        if (scroll_row.load() != before) {
            EXPECT_EQ(scroll_row.load(), before + 1);
            steps.push_back(tick);
        }
    }
    EXPECT_EQ(steps, (std::vector<int>{18, 36, 54}));
}

TEST(RadialTables, DistanceTable) {
    build_radial_tables();
    const auto d = [](int x, int y) { return distance_table[x * 200 + y]; };
    EXPECT_EQ(d(0, 0), 188);
    EXPECT_EQ(d(0, 199), 188);
    EXPECT_EQ(d(319, 0), 187);
    EXPECT_EQ(d(319, 199), 187);
    EXPECT_EQ(d(0, 100), 160);
    EXPECT_EQ(d(160, 0), 100);
    EXPECT_EQ(d(319, 100), 159);
    EXPECT_EQ(d(160, 199), 99);
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) EXPECT_EQ(d(160 + dx, 100 + dy), 1) << dx << "," << dy;
    EXPECT_EQ(d(163, 104), 5); // 3-4-5, stored column by column
    uint16_t low = 0xFFFF, high = 0;
    for (uint16_t v : distance_table) low = std::min(low, v), high = std::max(high, v);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 188);
}

TEST(RadialTables, SineAndCosineUseTheShortPiAndTruncate) {
    build_radial_tables();
    EXPECT_EQ(sine_table[0], 0);
    EXPECT_EQ(sine_table[1], 804);
    EXPECT_EQ(sine_table[2], 1607);
    EXPECT_EQ(sine_table[3], 2410);
    EXPECT_EQ(sine_table[32], 23169);
    EXPECT_EQ(sine_table[64], 32766);
    EXPECT_EQ(sine_table[128], 0);
    EXPECT_EQ(sine_table[129], -804);
    EXPECT_EQ(sine_table[192], -32766);
    EXPECT_EQ(cosine_table[0], 32767);
    EXPECT_EQ(cosine_table[1], 32757);
    EXPECT_EQ(cosine_table[2], 32727);
    EXPECT_EQ(cosine_table[3], 32678);
    EXPECT_EQ(cosine_table[64], 0);
    EXPECT_EQ(cosine_table[128], -32766);
    EXPECT_EQ(cosine_table[192], 0);
}
