// The three runners on the headless virtual clock with a small module: every phase shows at
// least one frame and ends on its own condition.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine3d/model.h"
#include "runtime/script.h"
#include "scene_fixture.h"
#include "scenes3d/scenes.h"
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
using namespace vantrose::test;

namespace {

struct PhaseStart {
    int phase;
    uint64_t frame, tick;
    int32_t order;
};

std::vector<uint8_t> screen(frame_bytes, 0);

class SceneRunner : public ::testing::Test {
  protected:
    void SetUp() override {
        use_test_archive();
        options = Options{};
        options.headless = true;
        options.trace = true;
        platform = headless_platform();
        true_color_frame = screen.data();
        screen_height = 400;
        app_active = 1;
        reset_clock();
        reset_stats();
        clear_quit();
        set_timer_routine(nullptr);
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrose-scenes3d-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        options.data_dir = dir_.string();
        // 64 rows at speed 2, tempo 255: 1.25 s an order.
        ASSERT_TRUE(test_support::write_bytes(music_path(), test_support::tiny_s3m(40, 2, 255)));
        sound_init();
        load_music();
        play_music();
        start_timer();
        poll_music();
    }
    void TearDown() override {
        discard_music();
        set_timer_routine(nullptr);
        options = Options{};
        true_color_frame = nullptr;
        clear_quit();
        std::filesystem::remove_all(dir_);
    }
    // Runs a runner and returns its phase starts, read from the trace lines.
    std::vector<PhaseStart> run(void (*runner)()) {
        ::testing::internal::CaptureStderr();
        runner();
        std::istringstream lines(::testing::internal::GetCapturedStderr());
        std::vector<PhaseStart> starts;
        std::string line;
        while (std::getline(lines, line)) {
            PhaseStart p{};
            unsigned long long frame = 0, tick = 0;
            if (std::sscanf(line.c_str(), "phase %d frame %llu tick %llu order %d", &p.phase,
                            &frame, &tick, &p.order) == 4) {
                p.frame = frame;
                p.tick = tick;
                starts.push_back(p);
            }
        }
        return starts;
    }
    void expect_three_phases_with_frames(const std::vector<PhaseStart>& starts) {
        ASSERT_EQ(starts.size(), 3u);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(starts[k].phase, k + 1);
        EXPECT_GE(starts[1].frame, starts[0].frame + 1);
        EXPECT_GE(starts[2].frame, starts[1].frame + 1);
        EXPECT_GE(frame_count(), starts[2].frame + 1);
        EXPECT_EQ(texture_block, nullptr); // freed on the way out
    }
    std::filesystem::path dir_;
};

} // namespace

TEST_F(SceneRunner, PlaqueSlidesInWaitsSixOrdersAndLeavesOnTheSeventh) {
    int32_t start = music_order;
    std::vector<PhaseStart> starts = run(run_scene_3d_2);
    expect_three_phases_with_frames(starts);
    // Sliding in from -250 at one unit a tick.
    EXPECT_GE(starts[1].tick - starts[0].tick, 250u);
    EXPECT_LE(starts[1].tick - starts[0].tick, 252u);
    EXPECT_EQ(starts[2].order, start + 6);
    EXPECT_EQ(music_order, start + 7);
    EXPECT_GT(node_templates[0].px, 0.0f); // on its way out
}

TEST_F(SceneRunner, FloorSettlesBallsPlayAndTheFloorSinksWithoutPolling) {
    std::vector<PhaseStart> starts = run(run_scene_3d_1);
    expect_three_phases_with_frames(starts);
    EXPECT_LT(starts[1].tick - starts[0].tick, 100u);
    // The last phase does not poll: the order stays where the middle phase ended.
    EXPECT_EQ(music_order, starts[2].order);
    EXPECT_EQ(starts[2].order, starts[0].order + 6);
    EXPECT_GE(std::fabs(node_templates[0].py), 1600.0f);
    EXPECT_EQ(node_templates[0].vy, 15.0f);
}

TEST_F(SceneRunner, ClusterDescendsHoversFiveOrdersAndSinks) {
    std::vector<PhaseStart> starts = run(run_scene_3d_3);
    expect_three_phases_with_frames(starts);
    EXPECT_GT(starts[1].tick - starts[0].tick, 350u);
    EXPECT_EQ(starts[2].order, starts[1].order + 5);
    EXPECT_GE(node_templates[0].py, 500.0f);
    EXPECT_EQ(node_templates[1].py, node_templates[0].py);
}

TEST_F(SceneRunner, AModuleAlreadyPastTheTargetDoesNotHoldThePlaque) {
    // The first phase lasts five seconds; at an order every 0.63 s the music has reached +7 by
    // then, past the middle phase's +6.
    discard_music();
    ASSERT_TRUE(test_support::write_bytes(music_path(), test_support::tiny_s3m(40, 1, 255)));
    load_music();
    play_music();
    poll_music();
    int32_t start = music_order;
    std::vector<PhaseStart> starts = run(run_scene_3d_2);
    expect_three_phases_with_frames(starts);
    EXPECT_GE(starts[1].order, start + 7);
    EXPECT_EQ(starts[2].frame, starts[1].frame + 1);
    EXPECT_EQ(frame_count(), starts[2].frame + 1);
}
