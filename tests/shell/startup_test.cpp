// Quit handling, shutdown order and the display set-up's failure messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "shell/startup.h"
#include "shell/stats.h"
#include "shell/timer.h"
#include "shell/trace.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;

namespace {

std::vector<uint8_t> frame(frame_bytes, 0);

class Startup : public ::testing::Test {
  protected:
    void SetUp() override {
        options = Options{};
        platform = &fake_;
        true_color_frame = frame.data();
        screen_height = 400;
        app_active = 1;
        clear_quit();
        reset_clock();
        reset_stats();
    }
    void TearDown() override {
        platform = headless_platform();
        options = Options{};
        true_color_frame = nullptr;
        clear_quit();
    }
    test_support::FakePlatform fake_;
};

} // namespace

TEST_F(Startup, QuitIsSeenAtTheNextPresentedFrameThenShutdownInOrder) {
    auto run = [this] {
        const auto dir = std::filesystem::temp_directory_path() / "vantrose-startup-quit";
        std::filesystem::create_directories(dir);
        options.data_dir = dir.string();
        test_support::write_bytes(music_path(), test_support::tiny_s3m());
        sound_init();
        load_music();
        play_music();
        present_frame();
        post_quit(); // as Escape would, between two frames
        std::fprintf(stderr, "[quit posted]\n");
        present_frame();
        std::fprintf(stderr, "[script resumed]\n");
        std::exit(3);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0),
                "quit posted\\]\n\\[present\\]\n\\[pump_events\\]\n\\[pause_audio\\]\n"
                "\\[close_audio\\]\n\\[release_display\\]\n\\[show_cursor\\]\n$");
}

TEST_F(Startup, FrameLimitEndsLikeAQuit) {
    options.frames = 2;
    auto run = [] {
        present_frame();
        std::fprintf(stderr, "[one]\n");
        present_frame();
        std::exit(3);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "\\[one\\].*release_display.*show_cursor");
}

TEST_F(Startup, InactiveAppShowsNothingButStillPumps) {
    app_active = 0;
    ::testing::internal::CaptureStderr();
    present_frame();
    const std::string out = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "[pump_events]\n");
    EXPECT_EQ(frame_count(), 1u);
    app_active = 1;
    ::testing::internal::CaptureStderr();
    present_frame();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[present]\n[pump_events]\n");
}

TEST_F(Startup, DisplaySetUpFollowsItsOrder) {
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(create_display_object());
    EXPECT_TRUE(setup_display());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[create_display_object]\n[hide_cursor]\n[create_window]\n[set_cooperative_level]\n"
              "[set_display_mode]\n[create_surface]\n[get_back_buffer]\n");
}

TEST_F(Startup, EachFailingDisplayStepHasItsOwnMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"create_window", "SetCooperativeLevel error"},
        {"set_cooperative_level", "SetCooperativeLevel error"},
        {"set_display_mode", "SetDisplayMode error"},
        {"create_surface", "CreateSurface error"},
        {"get_back_buffer", "GetAttachedSurface error"},
    };
    for (const auto& [step, text] : cases) {
        fake_.fail = step;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(setup_display()) << step;
        const std::string out = ::testing::internal::GetCapturedStderr();
        const std::string box = std::string("[box DDRAW ERROR: ") + text + "]\n[destroy_window]\n";
        EXPECT_NE(out.find(box), std::string::npos) << out;
        EXPECT_NE(out.find(std::string("DDRAW ERROR: ") + text + "\n"), std::string::npos);
        // Nothing after the failing step is tried.
        if (fake_.fail != "get_back_buffer") {
            EXPECT_EQ(out.find("[get_back_buffer]"), std::string::npos) << step;
        }
    }
    fake_.fail = "create_display_object";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(create_display_object());
    EXPECT_NE(
        ::testing::internal::GetCapturedStderr().find("[box DDRAW ERROR: DirectDrawCreate error]"),
        std::string::npos);
}

TEST(Main, BadCommandLineGivesUsageAndStatusTwo) {
    auto run = [](std::vector<const char*> args) {
        args.insert(args.begin(), "vantrose");
        return vantrose_main(static_cast<int>(args.size()), const_cast<char**>(args.data()));
    };
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run({"--mode", "500"}), 2);
    const std::string out = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("--mode takes 400 or 480"), std::string::npos);
    EXPECT_NE(out.find("usage: vantrose"), std::string::npos);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run({"--scale", "2"}), 2);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("--scale enlarges a recording"),
              std::string::npos);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "vantrose " VANTROSE_VERSION "\n");
    options = Options{};
}
