// What the viewer hears: the position heard behind the device's queue, the listening volume and
// mute on top of the master volume, a scene skip handing the module on to the device, and a
// device that goes away mid-show.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;
using Position = std::pair<int32_t, int32_t>;

namespace {

// The module (a row every 432 frames) through a fake audio device, fed by its fill as SDL would.
class Listening : public ::testing::Test {
  protected:
    void SetUp() override {
        options = Options{};
        platform = &fake_;
        reset_clock();
        std::filesystem::create_directories(dir_);
        options.data_dir = dir_.string();
        ASSERT_TRUE(test_support::write_bytes(music_path(), test_support::tiny_s3m(4, 1, 255)));
        sound_init();
        ASSERT_NE(fake_.fill, nullptr);
    }
    void TearDown() override {
        change_listening_volume(8);
        reset_clock();
        discard_music();
        sound_close();
        platform = headless_platform();
        options = Options{};
        std::filesystem::remove_all(dir_);
    }
    // `fills` device fills of 256 frames, from the module's start unless `restart` is false.
    std::vector<int16_t> play(int fills, bool restart = true) {
        if (restart) load_music(), play_music();
        std::vector<int16_t> all, buffer(2 * 256);
        for (int i = 0; i < fills; ++i) {
            fake_.fill(buffer.data(), 256);
            all.insert(all.end(), buffer.begin(), buffer.end());
        }
        return all;
    }
    Position heard() const { return {music_order, music_row}; }
    std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                                 ("vantrose-listening-" + std::to_string(::getpid()));
    test_support::FakePlatform fake_;
};

} // namespace

TEST_F(Listening, HeardPositionLagsTheRenderedOneByTheDeviceQueue) {
    // 4096 queued frames are 16 fills of 256, 9.5 rows.
    std::vector<Position> rendered, heard_at;
    for (uint32_t queued : {0u, 4096u}) {
        fake_.queued = queued;
        play(0);
        for (int i = 0; i < 60; ++i) {
            play(1, false);
            poll_music();
            (queued ? heard_at : rendered).push_back(heard());
        }
    }
    ASSERT_GT(rendered.back().second, 30) << "the module moved on";
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(heard_at[i], i < 16 ? Position(0, 0) : rendered[i - 16])
            << "after fill " << i + 1;
}

TEST_F(Listening, MuteAndVolumeStepsScaleWhatTheDeviceGetsOnTopOfTheMasterVolume) {
    const std::vector<int16_t> full = play(20);
    ASSERT_NE(full, std::vector<int16_t>(full.size(), 0));

    EXPECT_EQ(change_listening_volume(-4), 4); // half the steps: a quarter of the amplitude
    std::vector<int16_t> quarter = play(20);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(quarter[i], full[i] * 64 / 256) << i;

    load_music();
    play_music();
    set_music_volume(128); // the show's fade goes on under the listening volume
    const std::vector<int16_t> both = play(20, false);
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

// The device starts only when a skip ends, and what is heard first is where the skip left the
// module, not the module's start.
TEST_F(Listening, SceneSkipHandsTheModuleOnWhereItLeftIt) {
    options.scene = 3;
    load_music();
    // The unseen frames render the module in lockstep; a pause and resume meanwhile (Space
    // pressed during the skip) leaves the device alone.
    testing::internal::CaptureStderr();
    begin_scene_skip();
    play_music();
    std::vector<int16_t> samples(2 * 4096);
    for (int i = 0; i < 8; ++i) render_music(samples.data(), 4096, false); // 75 rows of 432 frames
    pause_music(true);
    pause_music(false);
    poll_music();
    const Position left = heard();
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("[start_audio]"), std::string::npos);
    EXPECT_EQ(left, Position(1, 11));

    testing::internal::CaptureStderr();
    scene_skip_reached(3);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("[start_audio]"), std::string::npos);
    fake_.queued = 4096; // the device's first fill is still queued, unheard
    play(1, false);
    poll_music();
    EXPECT_EQ(heard(), left);

    // What the device plays next is the full mix, as if the skip had been heard.
    const std::vector<int16_t> after_unheard = play(8, false);
    reset_clock();
    load_music();
    begin_scene_skip();
    play_music();
    for (int i = 0; i < 8; ++i) render_music(samples.data(), 4096, true);
    scene_skip_reached(3);
    play(1, false);
    EXPECT_EQ(play(8, false), after_unheard);
}

// Samples nobody hears are mixed the cheap way: the module reaches every row on the same
// sample, and what is heard afterwards, or from a module loaded again, is the full mix.
TEST_F(Listening, UnheardSamplesKeepThePositionsAndTheHeardMixComesBack) {
    const auto run = [](bool heard_first) {
        load_music();
        play_music();
        std::vector<int16_t> chunk(2 * 300), later;
        std::vector<Position> positions;
        for (int i = 0; i < 40; ++i) {
            render_music(chunk.data(), 300, heard_first || i >= 20);
            poll_music();
            positions.push_back({music_order, music_row});
            if (i >= 30) later.insert(later.end(), chunk.begin(), chunk.end());
        }
        return std::make_pair(positions, later);
    };
    const auto heard_all = run(true);
    const auto unheard_first = run(false);
    EXPECT_EQ(heard_all.first, unheard_first.first);
    ASSERT_GT(heard_all.first.back().second, 20) << "the module moved on";
    EXPECT_EQ(heard_all.second, unheard_first.second);
    EXPECT_EQ(run(true).second, heard_all.second);
}

TEST_F(Listening, AfterTheDeviceGoesTheMusicKeepsWallTimeAndSaysSoOnce) {
    load_music();
    play_music();
    ::testing::internal::CaptureStderr();
    audio_device_lost();
    audio_device_lost();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vantrose: the audio device went away; the music goes on silently\n[close_audio]\n");
    poll_music();
    const int32_t start = music_order * 64 + music_row;
    std::this_thread::sleep_for(std::chrono::milliseconds(120)); // a row every 9.8 ms
    poll_music();
    EXPECT_GE(music_order * 64 + music_row, start + 5) << "the module moves on with wall time";
}
