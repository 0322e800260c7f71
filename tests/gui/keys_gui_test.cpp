// The viewer's keys and the pacing in a window under the X server (which has no vsync): 60 Hz
// and --fps pacing, Alt+Enter, F12, and the pause.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "tests/e2e/run_program.h"
#include "tests/gui/x_display.h"

using namespace vantrose::test_support;
namespace fs = std::filesystem;

namespace {

const std::string window_title = "^Quorv! - Vantrose$";

class KeysGui : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (./test starts one)";
        ASSERT_EQ(shell("which xdotool xwininfo import | wc -l"), "3\n")
            << "xdotool, xwininfo and ImageMagick drive these tests (scripts/setup.sh)";
        lock_ = lock_display();
        ASSERT_GE(lock_, 0);
    }
    void TearDown() override {
        if (lock_ >= 0) ::close(lock_);
    }
    // The show's window, focused for the keys.
    long show_window(Program& p) {
        const long window = find_window(window_title);
        if (window == 0) {
            ADD_FAILURE() << "no show window: " << p.finish(0).err;
            return 0;
        }
        x_command("xdotool windowfocus --sync " + std::to_string(window));
        return window;
    }
    int lock_ = -1;
};

double figure(const std::string& err, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(err, m, std::regex(pattern)) ? std::stod(m[1]) : -1;
}

} // namespace

// A functional rate, not a speed target: paced frames never come early, and a stall-free show
// keeps its rate. The upper bounds only leave room for a loaded machine.
TEST_F(KeysGui, FramesArePacedAt60HzOrTheFpsAskedFor) {
    for (const int fps : {60, 70}) {
        std::vector<std::string> args = {"--window",    "--mode",   "400", "--data",
                                         VANTROSE_DATA, "--frames", "120", "--stats"};
        if (fps != 60) args.insert(args.end(), {"--fps", std::to_string(fps)});
        const RunResult r = run_program(args, 60);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(figure(r.err, "paced rate (\\d+) Hz"), fps) << r.err;
        const double wall = figure(r.err, "wall time ([0-9.]+) s"), due = 119.0 / fps;
        EXPECT_GE(wall, due * 0.97) << r.err;
        EXPECT_LE(wall, due * 2.5) << r.err;
    }
}

TEST_F(KeysGui, AltEnterFillsTheScreenAndComesBackWhileTheShowGoesOn) {
    Program p({"--window", "--mode", "400", "--data", VANTROSE_DATA, "--stats"});
    const long window = show_window(p);
    ASSERT_NE(window, 0);
    const std::string id = "-id " + std::to_string(window);
    const WindowInfo screen = window_info("-root");
    WindowInfo w = window_info(id);
    EXPECT_EQ(w.w, 640);
    EXPECT_EQ(w.h, 400);

    key("alt+Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    w = window_info(id);
    EXPECT_EQ(w.w, screen.w);
    EXPECT_EQ(w.h, screen.h);
    EXPECT_EQ(w.name, "Test") << "the full-screen window's own caption";
    const Image shot = screenshot("alt-enter-full-screen");
    // The 16:10 picture across the whole width, centred, black above and below.
    const int height = shot.w * 10 / 16, top = (shot.h - height) / 2;
    int lit = 0;
    for (int y = top; y < top + height; y += 9) {
        for (int x = 0; x < shot.w; x += 9) {
            const auto px = shot.at(x, y);
            lit += px.r + px.g + px.b > 0;
        }
    }
    EXPECT_GT(lit, (height / 9) * (shot.w / 9) / 2) << "the picture fills the width";
    if (top > 0) {
        const auto above = shot.at(shot.w / 2, top - 1), below = shot.at(shot.w / 2, top + height);
        EXPECT_EQ(above.r + above.g + above.b + below.r + below.g + below.b, 0);
    }

    key("alt+Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    w = window_info(id);
    EXPECT_EQ(w.w, 640);
    EXPECT_EQ(w.h, 400);
    EXPECT_EQ(w.name, "Quorv! - Vantrose");
    ASSERT_TRUE(p.running()) << "the show goes on";
    key("Escape");
    const RunResult r = p.finish(15);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(figure(r.err, "frames (\\d+)"), 60 * 1.5) << "frames all along: " << r.err;
}

TEST_F(KeysGui, F12WritesThePresentedFrameAsTheDumpHasIt) {
    const fs::path dir = fs::temp_directory_path() / ("vantrose-f12-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path here = fs::current_path();
    fs::current_path(dir); // the program writes into its current folder
    Program p({"--window", "--mode", "400", "--data", VANTROSE_DATA, "--dump", "dump"});
    fs::current_path(here);
    ASSERT_NE(show_window(p), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    key("F12");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    key("Escape");
    const RunResult r = p.finish(15);
    EXPECT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(r.err, m, std::regex("frame written to (\\S+/vantrose-(\\d+)\\.png)")))
        << r.err;
    EXPECT_EQ(fs::path(m[1].str()).parent_path(), dir);
    const std::string shot = read_file(m[1]);
    ASSERT_GT(shot.size(), 1000u);
    EXPECT_TRUE(shot == read_file((dir / "dump" / ("frame-" + m[2].str() + ".png")).string()))
        << "the same frame, byte for byte, as --dump wrote it";
    fs::remove_all(dir);
}

// On the virtual clock a pause must change nothing in the show: the window run, paused for a
// while, ends its scenes on the same frames with the same pictures as a headless run.
TEST_F(KeysGui, SpaceHoldsThePictureAndTheShowKeepsItsCues) {
    const std::vector<std::string> show = {"--mode",  "400",     "--data",    VANTROSE_DATA,
                                           "--clock", "virtual", "--refresh", "4",
                                           "--trace", "--stats"};
    std::vector<std::string> args = show;
    args.push_back("--window");
    Program p(args);
    ASSERT_NE(show_window(p), 0);
    key("space");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Image a = screenshot("paused-a");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const Image b = screenshot("paused-b");
    EXPECT_GT(a.w, 0);
    EXPECT_TRUE(a.rgb == b.rgb) << "no frame while paused";
    ASSERT_TRUE(p.running()) << "a paused window still answers";
    key("space");
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    key("Escape");
    const RunResult r = p.finish(30);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("vantrose: paused\nvantrose: resumed\n"), std::string::npos) << r.err;

    const int frames = static_cast<int>(figure(r.err, "\nframes (\\d+)"));
    ASSERT_GT(frames, 100) << r.err;
    std::vector<std::string> headless = show;
    headless.insert(headless.end(), {"--headless", "--frames", std::to_string(frames)});
    const RunResult h = run_program(headless, 60);
    const auto cues = [](const std::string& err) {
        std::string kept;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);) {
            const bool timing = line.find(" mean ") != std::string::npos;
            if (!timing && (line.rfind("scene ", 0) == 0 || line.rfind("phase ", 0) == 0 ||
                            line.rfind("checksum ", 0) == 0))
                kept += line + "\n";
        }
        return kept;
    };
    EXPECT_NE(cues(r.err).find("scene 2 "), std::string::npos) << "a cut after the pause";
    EXPECT_EQ(cues(r.err), cues(h.err));
}
