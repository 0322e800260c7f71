// A scene skip handing the module on to the audio device: the device starts only when the skip
// ends, and what is heard first is where the skip left the module, not the module's start.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "shell/clock.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;

TEST(SceneSkip, TheDeviceTakesTheModuleOnWhereTheSkipLeftIt) {
    test_support::FakePlatform fake;
    platform = &fake;
    options = Options{};
    options.scene = 3;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vantrose-skip-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    options.data_dir = dir.string();
    ASSERT_TRUE(test_support::write_bytes(music_path(), test_support::tiny_s3m(4, 1, 255)));
    sound_init();
    load_music();

    // The unseen frames render the module in lockstep; a pause and resume meanwhile (Space
    // pressed during the skip) leaves the device alone.
    testing::internal::CaptureStderr();
    begin_scene_skip();
    play_music();
    std::vector<int16_t> samples(2 * 4096);
    for (int i = 0; i < 8; ++i) render_music(samples.data(), 4096); // 75 rows of 432 frames
    pause_music(true);
    pause_music(false);
    poll_music();
    const std::pair<int32_t, int32_t> left{music_order, music_row};
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("[start_audio]"), std::string::npos);
    EXPECT_EQ(left, std::make_pair(1, 11));

    testing::internal::CaptureStderr();
    scene_skip_reached(3);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("[start_audio]"), std::string::npos);
    // The device's first fill is still queued, unheard.
    fake.queued = 4096;
    fake.fill(samples.data(), 256);
    poll_music();
    EXPECT_EQ(std::make_pair(music_order, music_row), left);

    reset_clock();
    discard_music();
    sound_close();
    platform = headless_platform();
    options = Options{};
    std::filesystem::remove_all(dir);
}
