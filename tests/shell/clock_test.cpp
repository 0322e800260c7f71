// The virtual clock: ticks, music in lockstep, the frame hooks and the frame limit.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "shell/startup.h"
#include "shell/stats.h"
#include "shell/timer.h"
#include "shell/trace.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;

namespace {

std::vector<uint8_t> frame(frame_bytes, 0);
int ticks_a = 0, ticks_b = 0;
void tick_a() {
    ++ticks_a;
}
void tick_b() {
    ++ticks_b;
}

class VirtualClock : public ::testing::Test {
  protected:
    void SetUp() override {
        options = Options{};
        options.headless = true;
        platform = headless_platform();
        true_color_frame = frame.data();
        screen_height = 400;
        app_active = 1;
        reset_clock();
        reset_stats();
        clear_quit();
        set_timer_routine(nullptr);
        ticks_a = ticks_b = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrose-clock-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        options.data_dir = dir_.string();
    }
    void TearDown() override {
        discard_music();
        frame_sink = nullptr;
        set_timer_routine(nullptr);
        options = Options{};
        true_color_frame = nullptr;
        clear_quit();
        std::filesystem::remove_all(dir_);
    }
    void present(int n) {
        for (int i = 0; i < n; ++i) show_frame();
    }
    void load(const std::vector<uint8_t>& module) {
        ASSERT_TRUE(test_support::write_bytes(music_path(), module));
        sound_init();
        load_music();
    }
    std::filesystem::path dir_;
};

} // namespace

TEST_F(VirtualClock, FiftyTicksPerVirtualSecondAtAnyRefresh) {
    for (uint32_t refresh : {60u, 70u, 50u, 144u, 1u}) {
        options.refresh = refresh;
        reset_clock();
        ticks_a = 0;
        set_timer_routine(tick_a);
        start_timer();
        present(static_cast<int>(refresh));
        EXPECT_EQ(ticks_a, 50) << refresh << " Hz";
        present(static_cast<int>(refresh) * 3);
        EXPECT_EQ(ticks_a, 200) << refresh << " Hz";
    }
    // At 60 Hz the first tick falls in the second frame (20 ms after the start, frames 16.7 ms).
    options.refresh = 60;
    reset_clock();
    ticks_a = 0;
    start_timer();
    present(1);
    EXPECT_EQ(ticks_a, 0);
    present(1);
    EXPECT_EQ(ticks_a, 1);
}

TEST_F(VirtualClock, NoTicksBeforeTheTimerStarts) {
    set_timer_routine(tick_a);
    present(120);
    EXPECT_EQ(ticks_a, 0);
    start_timer(); // counts from here, not from frame 0
    present(3);
    EXPECT_EQ(ticks_a, 2);
}

TEST_F(VirtualClock, NewTickRoutineTakesEffectAtTheNextTick) {
    options.refresh = 50; // one tick a frame
    set_timer_routine(tick_a);
    start_timer();
    present(3);
    set_timer_routine(tick_b);
    EXPECT_EQ(ticks_a, 3);
    EXPECT_EQ(ticks_b, 0);
    present(1);
    EXPECT_EQ(ticks_a, 3);
    EXPECT_EQ(ticks_b, 1);
    const uint64_t before = tick_count();
    set_timer_routine(nullptr); // an empty slot still counts its ticks
    present(2);
    EXPECT_EQ(tick_count(), before + 2);
}

TEST_F(VirtualClock, FrameLimitPostsTheQuitAfterTheLastFrame) {
    options.frames = 3;
    present(2);
    EXPECT_FALSE(quit_posted());
    present(1);
    EXPECT_TRUE(quit_posted());
    EXPECT_EQ(frame_count(), 3u);
}

namespace {
size_t sink_frames = 0, sink_calls = 0;
long long sink_energy = 0;
void sink(const uint8_t* f, int height, const int16_t* audio, size_t frames) {
    EXPECT_EQ(f, frame.data());
    EXPECT_EQ(height, 400);
    ++sink_calls;
    sink_frames += frames;
    for (size_t i = 0; i < 2 * frames; ++i) sink_energy += audio[i] < 0 ? -audio[i] : audio[i];
}
} // namespace

TEST_F(VirtualClock, SinkGetsEachFrameWithItsSampleExactAudio) {
    sink_frames = sink_calls = 0;
    sink_energy = 0;
    frame_sink = sink;
    options.refresh = 70; // 630 samples a frame exactly; 44100 / 70 = 630
    present(70);
    EXPECT_EQ(sink_calls, 70u);
    EXPECT_EQ(sink_frames, 44100u);
    EXPECT_EQ(sink_energy, 0) << "silence before the music plays";
    options.refresh = 60;
    reset_clock();
    sink_frames = 0;
    present(7); // 735 a frame
    EXPECT_EQ(sink_frames, 7u * 735u);
    options.refresh = 144; // 306.25 a frame: the fraction carries
    reset_clock();
    sink_frames = 0;
    present(143);
    EXPECT_EQ(sink_frames, 143u * 44100u / 144u);
    present(1);
    EXPECT_EQ(sink_frames, 44100u);
    load(test_support::tiny_s3m());
    play_music();
    present(10);
    EXPECT_GT(sink_energy, 0) << "the module is heard";
}

TEST_F(VirtualClock, MusicPositionFollowsFramesSampleExactly) {
    // Speed 6, tempo 125: a row is 0.12 s = 5292 samples, an order 64 rows; 735 samples a frame.
    load(test_support::tiny_s3m(4, 6, 125));
    play_music();
    poll_music();
    EXPECT_EQ(music_order, 0);
    EXPECT_EQ(music_row, 0);
    for (int f = 1; f < 1500; ++f) {
        present(1);
        poll_music();
        const int32_t order = music_order, row = music_row;
        poll_music();
        ASSERT_EQ(music_order, order) << "two polls within a row agree";
        ASSERT_EQ(music_row, row);
        const uint64_t samples = static_cast<uint64_t>(f) * 735;
        if (samples % 5292 < 735) continue; // a row starts within this frame
        ASSERT_EQ(row, static_cast<int32_t>(samples / 5292 % 64)) << "frame " << f;
        ASSERT_EQ(order, static_cast<int32_t>(samples / (5292 * 64) % 4)) << "frame " << f;
    }
}

TEST_F(VirtualClock, SameFramesGiveTheSameChecksums) {
    options.stats = true;
    std::vector<uint8_t> other(frame_bytes, 0);
    note_scene_start(1);
    present(2);
    const uint64_t first = scene_checksum(1);
    reset_stats();
    note_scene_start(1);
    present(2);
    EXPECT_EQ(scene_checksum(1), first);
    reset_stats();
    note_scene_start(1);
    frame[1000] = 1;
    present(2);
    frame[1000] = 0;
    EXPECT_NE(scene_checksum(1), first);
    EXPECT_EQ(scene_checksum(2), checksum_seed);
}

TEST_F(VirtualClock, DumpsEveryKthFrameNumberedByPresentedFrame) {
    options.dump_dir = dir_.string();
    options.dump_every = 3;
    present(7);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame-000000.png", "frame-000003.png",
                                               "frame-000006.png"}));
}

TEST(Trace, LinesNameSceneFrameTickOrderAndRow) {
    options = Options{};
    options.trace = true;
    reset_clock();
    music_order = 3;
    music_row = 17;
    ::testing::internal::CaptureStderr();
    note_scene_start(12);
    note_phase_change(2);
    const std::string out = ::testing::internal::GetCapturedStderr();
    const std::string ticks = std::to_string(tick_count());
    EXPECT_EQ(out, "scene 12 frame 0 tick " + ticks + " order 3 row 17\nphase 2 frame 0 tick " +
                       ticks + " order 3 row 17\n");
    options.trace = false;
    ::testing::internal::CaptureStderr();
    note_scene_start(13);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    options = Options{};
    music_order = music_row = 0;
}
