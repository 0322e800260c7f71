// The module player: loading and its failures, volume, and the clocks that move it on.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "shell/clock.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;

namespace {

class Music : public ::testing::Test {
  protected:
    void SetUp() override {
        options = Options{};
        options.headless = true;
        platform = headless_platform();
        reset_clock();
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrose-music-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        options.data_dir = dir_.string();
    }
    void TearDown() override {
        discard_music();
        sound_close();
        platform = headless_platform();
        options = Options{};
        std::filesystem::remove_all(dir_);
    }
    void write_module(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(test_support::write_bytes(music_path(), bytes));
    }
    std::filesystem::path dir_;
    test_support::FakePlatform fake_; // outlives the test body: TearDown still calls through it
};

long long energy(const std::vector<int16_t>& s) {
    long long e = 0;
    for (int16_t v : s) e += v < 0 ? -v : v;
    return e;
}

} // namespace

TEST_F(Music, MissingModuleEndsWithStatusOneNamingTheFile) {
    EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1),
                "cannot open the music module .*vantrose.s3m");
}

TEST_F(Music, GarbageIsNotAModule) {
    std::vector<uint8_t> garbage(4000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    write_module(garbage);
    EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1), "vantrose.s3m is not an S3M module");
    write_module({});
    EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1), "vantrose.s3m is not an S3M module");
}

TEST_F(Music, TruncatedModuleIsRefusedWhereverItIsCut) {
    const std::vector<uint8_t> whole = test_support::tiny_s3m();
    // Cut inside the tables, the instrument, the pattern and the sample data.
    for (size_t cut : {size_t(99), size_t(120), size_t(180), whole.size() - 1}) {
        write_module(std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
        EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1), "vantrose.s3m is truncated")
            << "cut at " << cut;
    }
}

TEST_F(Music, ModuleWithNothingToPlayIsRefused) {
    std::vector<uint8_t> m = test_support::tiny_s3m(2);
    m[96] = m[97] = 0xFF; // both orders mark the end of the song
    write_module(m);
    EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1), "has no orders to play");
}

TEST_F(Music, LoadFailureClosesSoundAndDisplayInOrder) {
    platform = &fake_;
    options.headless = false;
    sound_init();
    EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1),
                "cannot open the music module.*box vantrose.*close_audio.*"
                "release_display.*show_cursor");
}

TEST_F(Music, VolumeScalesTheModule) {
    write_module(test_support::tiny_s3m());
    sound_init();
    load_music();
    play_music();
    std::vector<int16_t> full(2 * 4410), half(2 * 4410), none(2 * 4410);
    render_music(full.data(), 4410);
    // Same stretch again from a fresh load at lower volumes.
    load_music();
    play_music();
    set_music_volume(128);
    render_music(half.data(), 4410);
    load_music();
    play_music();
    set_music_volume(0);
    render_music(none.data(), 4410);
    ASSERT_GT(energy(full), 0);
    EXPECT_EQ(energy(none), 0);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(half[i], full[i] * 128 / 256) << i;
    load_music(); // a load starts at full volume again
    play_music();
    set_music_volume(999); // clamped to 256: unchanged
    std::vector<int16_t> again(2 * 4410);
    render_music(again.data(), 4410);
    EXPECT_EQ(again, full);
}

TEST_F(Music, WithoutAnAudioDeviceTheModuleKeepsWallTime) {
    options.real_clock = true;                       // headless, real clock: no device, wall time
    write_module(test_support::tiny_s3m(4, 1, 255)); // a row every 9.8 ms
    sound_init();
    load_music();
    play_music();
    poll_music();
    const int32_t start = music_order * 64 + music_row;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    poll_music();
    EXPECT_GE(music_order * 64 + music_row, start + 5);
}

TEST_F(Music, StopAndFreeReportFailuresAndCarryOn) {
    platform = &fake_;
    ::testing::internal::CaptureStderr();
    stop_music(); // nothing loaded: both steps fail
    const std::string out = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("[box Error: StopSong]"), std::string::npos) << out;
    EXPECT_NE(out.find("[box Error: FreeSong]"), std::string::npos) << out;
    write_module(test_support::tiny_s3m());
    load_music();
    ::testing::internal::CaptureStderr();
    stop_music();
    EXPECT_EQ(::testing::internal::GetCapturedStderr().find("box"), std::string::npos);
}
