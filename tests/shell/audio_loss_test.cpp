// An audio device that goes away mid-show: the music keeps time silently and says so once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "shell/clock.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;

TEST(AudioLoss, MusicKeepsWallTimeAfterTheDeviceGoes) {
    test_support::FakePlatform fake; // a device that opens and never asks for samples
    platform = &fake;
    options = Options{};
    reset_clock();
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vantrose-audio-loss-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    options.data_dir = dir.string();
    ASSERT_TRUE(test_support::write_bytes(music_path(), test_support::tiny_s3m(4, 1, 255)));
    sound_init();
    load_music();
    play_music();

    ::testing::internal::CaptureStderr();
    audio_device_lost();
    audio_device_lost(); // the second report of the same loss says nothing
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "vantrose: the audio device went away; the music goes on silently\n"
                    "[close_audio]\n");

    poll_music();
    const int32_t start = music_order * 64 + music_row;
    std::this_thread::sleep_for(std::chrono::milliseconds(120)); // a row every 9.8 ms
    poll_music();
    EXPECT_GE(music_order * 64 + music_row, start + 5) << "the module moves on with wall time";

    discard_music();
    platform = headless_platform();
    options = Options{};
    std::filesystem::remove_all(dir);
}
