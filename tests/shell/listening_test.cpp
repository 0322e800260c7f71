// What the viewer hears and controls: the position heard behind the device's queue, the
// listening volume and mute on top of the master volume, and the pause of the 20 ms ticks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "shell/timer.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;

namespace {

// The module played through a fake audio device, fed by its fill routine as SDL would.
class Listening : public ::testing::Test {
  protected:
    void SetUp() override {
        options = Options{};
        platform = &fake_;
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrose-listening-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        options.data_dir = dir_.string();
        ASSERT_TRUE(test_support::write_bytes(music_path(), test_support::tiny_s3m(4, 1, 255)));
        sound_init();
        ASSERT_NE(fake_.fill, nullptr);
    }
    void TearDown() override {
        change_listening_volume(8);
        discard_music();
        sound_close();
        platform = headless_platform();
        options = Options{};
        std::filesystem::remove_all(dir_);
    }
    // The module from its start, `fills` device fills of `frames` each.
    std::vector<int16_t> play(int fills, size_t frames = 256) {
        load_music();
        play_music();
        std::vector<int16_t> all;
        std::vector<int16_t> buffer(2 * frames);
        for (int i = 0; i < fills; ++i) {
            fake_.fill(buffer.data(), frames);
            all.insert(all.end(), buffer.begin(), buffer.end());
        }
        return all;
    }
    std::filesystem::path dir_;
    test_support::FakePlatform fake_;
};

} // namespace

TEST_F(Listening, HeardPositionLagsTheRenderedOneByTheDeviceQueue) {
    // A row lasts 432 frames; 4096 queued frames are 16 fills of 256, 9.5 rows.
    std::vector<std::pair<int32_t, int32_t>> rendered, heard;
    for (uint32_t queued : {0u, 4096u}) {
        fake_.queued = queued;
        auto& positions = queued ? heard : rendered;
        load_music();
        play_music();
        std::vector<int16_t> buffer(2 * 256);
        for (int i = 0; i < 60; ++i) {
            fake_.fill(buffer.data(), 256);
            poll_music();
            positions.emplace_back(music_order, music_row);
        }
    }
    ASSERT_GT(rendered.back().second, 30) << "the module moved on";
    for (int i = 0; i < 60; ++i) {
        const auto expected = i < 16 ? std::pair<int32_t, int32_t>{0, 0} : rendered[i - 16];
        EXPECT_EQ(heard[i], expected) << "after fill " << i + 1;
    }
}

TEST_F(Listening, MuteAndVolumeStepsScaleWhatTheDeviceGetsOnTopOfTheMasterVolume) {
    const std::vector<int16_t> full = play(20);
    long long energy = 0;
    for (int16_t v : full) energy += v < 0 ? -v : v;
    ASSERT_GT(energy, 0);

    EXPECT_EQ(change_listening_volume(-4), 4); // half the steps: a quarter of the amplitude
    std::vector<int16_t> quarter = play(20);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(quarter[i], full[i] * 64 / 256) << i;

    load_music();
    play_music();
    set_music_volume(128); // the show's fade goes on under the listening volume
    std::vector<int16_t> both(full.size()), buffer(2 * 256);
    for (size_t at = 0; at < full.size(); at += buffer.size()) {
        fake_.fill(buffer.data(), 256);
        std::copy(buffer.begin(), buffer.end(), both.begin() + at);
    }
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(both[i], full[i] * 128 * 64 / 65536) << i;

    EXPECT_TRUE(toggle_mute());
    for (int16_t v : play(20)) ASSERT_EQ(v, 0);
    EXPECT_FALSE(toggle_mute());
    EXPECT_EQ(play(20), quarter) << "unmuted at the step it had";
    EXPECT_TRUE(toggle_mute());
    EXPECT_EQ(change_listening_volume(100), 8) << "a step unmutes, and stops at full";
    EXPECT_EQ(play(20), full);
    EXPECT_EQ(change_listening_volume(-100), 0);
    for (int16_t v : play(20)) ASSERT_EQ(v, 0);
}

namespace {
std::atomic<int> pause_ticks{0};
void count_tick() {
    ++pause_ticks;
}
int wait_for_ticks(int at_least) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pause_ticks < at_least && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return pause_ticks;
}
} // namespace

TEST(TimerPause, NoTickWhilePausedAndTheNextFallsAFullPeriodAfterResuming) {
    options = Options{};
    options.headless = true;
    options.real_clock = true;
    set_timer_routine(count_tick);
    start_timer();
    ASSERT_GE(wait_for_ticks(2), 2);
    pause_timer(true);
    const int held = pause_ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(pause_ticks, held) << "ticks ran while paused";
    const auto resumed = std::chrono::steady_clock::now();
    pause_timer(false);
    ASSERT_GT(wait_for_ticks(held + 1), held);
    // Not the missed ticks in a burst: the schedule starts again from the resume.
    EXPECT_GE(std::chrono::steady_clock::now() - resumed, std::chrono::milliseconds(19));
    stop_timer();
    set_timer_routine(nullptr);
    options = Options{};
}
