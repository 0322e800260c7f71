// Buffers, palettes, tick routines, the stripe transfers (against a naive model of the stripe
// layout) and the order test of the scene loops.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <random>

#include "effects2d/radial_tables.h"
#include "runtime/buffers.h"
#include "runtime/cpu.h"
#include "runtime/palette.h"
#include "runtime/script.h"
#include "runtime/ticks.h"
#include "runtime/transfer.h"
#include "shell/music.h"

using namespace vantrose;
using Bytes = std::vector<uint8_t>;

namespace {

uint8_t** const palettes[8] = {&pal0, &pal1, &pal2, &pal3, &pal4, &pal5, &pal6, &pal7};

Bytes random_bytes(size_t size, uint32_t seed, uint8_t limit = 255) {
    std::mt19937 random(seed);
    Bytes b(size);
    for (uint8_t& x : b) x = static_cast<uint8_t>(random() % (limit + 1u));
    return b;
}

// The stripe image, pixel by pixel: stripe group g shows source row 3 (g div 2) + g mod 2; a
// pixel's red, green + 64 and blue + 128 lie on three rows from 3g (+1 for odd columns). A blend
// is (3 old + new) / 4 in byte arithmetic on the level the byte keeps (red 8, green 6, blue 7
// bits).
enum class Mode { copy, blend, keyed };
void naive_stripes(Bytes& screen, const uint8_t* frame, const uint8_t* palette, Mode mode) {
    for (int g = 0; g < 134; ++g) {
        const int y = 3 * (g / 2) + g % 2;
        for (int c = 0; c < 320; ++c) {
            const uint8_t e = frame[320 * y + c];
            if (mode == Mode::keyed && e == 0) continue;
            const int top = 3 * g + (c & 1);
            const int masks[3] = {255, 63, 127}, marks[3] = {0, 64, 128};
            for (int k = 0; k < 3; ++k) {
                uint8_t& out = screen[320 * (top + k) + c];
                const int level = palette[3 * e + k];
                const int old = out & masks[k];
                out = static_cast<uint8_t>(
                          mode == Mode::copy ? level : static_cast<uint8_t>(3 * old + level) >> 2) |
                      marks[k];
            }
        }
    }
}

struct Buffers : ::testing::Test {
    void SetUp() override { allocate_buffers(); }
    void TearDown() override { free_buffers(); }
    Bytes screen() const { return Bytes(rgb_screen, rgb_screen + rgb_screen_size); }
};

} // namespace

TEST(BuffersAlloc, AllocatedInOrderZeroFilledAndFreedToNull) {
    static std::vector<size_t> sizes;
    void* (*const system)(size_t) = buffer_allocator;
    buffer_allocator = [](size_t size) {
        sizes.push_back(size);
        void* block = std::malloc(size);
        std::memset(block, 0xCD, size);
        return block;
    };
    allocate_buffers();
    buffer_allocator = system;
    std::vector<size_t> want(8, 65536);
    want[3] = 80000;
    want.insert(want.end(), 8, 768);
    want.insert(want.end(), {130000, 307200});
    EXPECT_EQ(sizes, want);
    for (uint8_t* b : {buf3, pal7, hires_picture})
        EXPECT_EQ(std::count(b, b + buffer_capacity(b), 0), static_cast<long>(buffer_capacity(b)));
    free_buffers();
    EXPECT_TRUE(buf0 == nullptr && hires_picture == nullptr);
}

TEST(BuffersAlloc, FailedAllocationPrintsBothLinesAndEndsWithStatusZero) {
    EXPECT_EXIT(
        {
            // Standard output alone goes where the death test reads.
            ::dup2(2, 1);
            ::dup2(::open("/dev/null", O_WRONLY), 2);
            static int calls = 0;
            buffer_allocator = [](size_t size) {
                return ++calls == 5 ? nullptr : std::malloc(size);
            };
            allocate_buffers();
        },
        ::testing::ExitedWithCode(0),
        ::testing::Eq("Memory allocation error... 4 Megabytes of Free Memory Required!\n"
                      "Try to remove resident programs like disk caches, etc...\n"));
}

TEST(Palette, EachRoutineCoversAll768BytesAndNothingBeyond) {
    // A palette between guard bytes: a range one short leaves its first or last byte as it was,
    // one long writes a neighbour. Bytes span 0..255, so a signed comparison steps wrongly.
    constexpr size_t g = 3;
    Bytes start(768 + 2 * g), target(768 + 2 * g);
    for (size_t i = 0; i < start.size(); ++i)
        start[i] = uint8_t(37 * i), target[i] = uint8_t(101 * i + 50);
    target[g + 1] = start[g + 1]; // an equal byte stays
    for (const char* routine : {"clear", "rotate", "step"}) {
        Bytes p = start, want = start;
        for (size_t i = g; i < g + 768; ++i) {
            const uint8_t c = start[i], t = target[i];
            want[i] = routine[0] == 'c'   ? 0
                      : routine[0] == 'r' ? start[g + (i - g + 3) % 768] // entry 0 goes to 255
                                          : uint8_t(c < t   ? c + 1
                                                    : c > t ? c - 1
                                                            : c);
        }
        if (routine[0] == 'c') clear_palette(p.data() + g);
        if (routine[0] == 'r') rotate_palette(p.data() + g);
        if (routine[0] == 's') step_palette_toward(p.data() + g, target.data() + g);
        EXPECT_EQ(std::mismatch(p.begin(), p.end(), want.begin()).first - p.begin(), long(p.size()))
            << routine << ": first wrong byte, the palette starting at " << g;
    }
}

TEST_F(Buffers, FadeTicksStepTheirPairsAndNothingElse) {
    // clang-format off
    const struct {
        void (*routine)();
        std::vector<std::pair<int, int>> pairs; // (moving palette, target)
    } fades[] = {
        {tick_fade_7_1, {{7, 1}}}, {tick_fade_6_0, {{6, 0}}}, {tick_fade_6_0_7_1, {{6, 0}, {7, 1}}},
        {tick_fade_7_5, {{7, 5}}}, {tick_fade_6_3, {{6, 3}}}, {tick_fade_7_0_6_3, {{7, 0}, {6, 3}}},
        {tick_fade_0_4, {{0, 4}}}, {idle_tick, {}}};
    // clang-format on
    for (size_t f = 0; f < std::size(fades); ++f) {
        for (int p = 0; p < 8; ++p) std::memset(*palettes[p], 10 * p, palette_size);
        fades[f].routine();
        for (int p = 0; p < 8; ++p) {
            int want = 10 * p;
            for (const auto& [moving, target] : fades[f].pairs)
                if (moving == p) want += target > p ? 1 : -1;
            EXPECT_EQ(std::count(*palettes[p], *palettes[p] + palette_size, want), 768)
                << "routine " << f << " pal" << p;
        }
    }
}

TEST(Ticks, WaveTickIsA512TickSineWaveAndScrollTickAddsARowEvery18) {
    build_radial_tables();
    wave_phase = 0;
    wave_sign = 1;
    std::vector<int32_t> angle(1);
    for (int tick = 1; tick <= 520; ++tick) {
        wave_tick();
        angle.push_back(wave_angle.load());
    }
    const int32_t s1 = sine_table[1], s127 = sine_table[127];
    const int32_t want[][2] = {{1, 0},        {3, s1},  {129, 32766}, {130, 32766},
                               {256, s127},   {257, 0}, {259, -s1},   {385, -32766},
                               {386, -32766}, {513, 0}, {515, s1}};
    for (const auto& [tick, value] : want) EXPECT_EQ(angle[tick], value) << tick;
    wave_angle = 0;

    scroll_ticks = 0;
    scroll_row = 100;
    std::vector<int> steps;
    for (int tick = 1; tick <= 60; ++tick) {
        const uint32_t before = scroll_row;
        scroll_tick();
        if (scroll_row != before) {
            steps.push_back(tick);
            EXPECT_EQ(scroll_row, before + 1);
        }
    }
    EXPECT_EQ(steps, (std::vector<int>{18, 36, 54}));
}

TEST_F(Buffers, EveryTransferMatchesTheNaiveStripesOfItsLayersInOrderOnEveryPath) {
    // Random frames, one with plenty of index 0, random palettes (levels out of range too), a
    // random screen (the 3D engine leaves bytes the 2D layout never writes). Layer pointers the
    // routine must not read are null.
    const Bytes a = random_bytes(64000, 1), b = random_bytes(64000, 2, 7);
    const Bytes pa = random_bytes(768, 3), pb = random_bytes(768, 4, 63);
    const char* best = cpu_path();
    for (const char* path : supported_cpu_paths()) {
        use_cpu_path(path);
        struct Step {
            bool layer_a;
            Mode mode;
        };
        const struct {
            void (*routine)();
            std::vector<Step> steps;
        } cases[] = {{transfer_a_b, {{true, Mode::blend}, {false, Mode::blend}}},
                     {transfer_b, {{false, Mode::blend}}},
                     {transfer_a_over_b, {{false, Mode::blend}, {true, Mode::keyed}}},
                     {transfer_b_over_a, {{false, Mode::keyed}, {true, Mode::blend}}},
                     {transfer_a_copy, {{true, Mode::copy}}}};
        for (size_t k = 0; k < std::size(cases); ++k) {
            Bytes want = random_bytes(rgb_screen_size, 10 + k);
            std::memcpy(rgb_screen, want.data(), rgb_screen_size);
            bool uses_a = false, uses_b = false;
            for (const Step& s : cases[k].steps) {
                naive_stripes(want, s.layer_a ? a.data() : b.data(),
                              s.layer_a ? pa.data() : pb.data(), s.mode);
                (s.layer_a ? uses_a : uses_b) = true;
            }
            layer_a_frame = uses_a ? const_cast<uint8_t*>(a.data()) : nullptr;
            layer_a_pal = uses_a ? const_cast<uint8_t*>(pa.data()) : nullptr;
            layer_b_frame = uses_b ? const_cast<uint8_t*>(b.data()) : nullptr;
            layer_b_pal = uses_b ? const_cast<uint8_t*>(pb.data()) : nullptr;
            cases[k].routine();
            EXPECT_EQ(screen(), want) << "routine " << k << ", path " << path;
        }
    }
    use_cpu_path(best);
}

TEST(OrderReached, OnEqualityAfterAJumpOrAWrapAndNeverOverflowing) {
    // clang-format off
    const struct {
        int32_t order, start, n;
        bool reached;
    } cases[] = {
        {5, 0, 5, true},   {4, 0, 5, false},  {10, 10, 3, false}, {12, 10, 3, false},
        {13, 10, 3, true}, {14, 10, 3, true}, {10, 9, 0, true},   {9, 10, 3, true},
        {-1, 0, 5, true},  {INT32_MAX, INT32_MAX, 1, false},      {INT32_MIN, INT32_MAX, 1, true}};
    // clang-format on
    for (const auto& c : cases) {
        music_order = c.order;
        EXPECT_EQ(order_reached(c.start, c.n), c.reached)
            << c.order << " " << c.start << " " << c.n;
    }
    music_order = 0;
}
