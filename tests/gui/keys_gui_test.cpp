// The viewer's keys and the pacing in a window under the X server (which has no vsync): 60 Hz
// and --fps pacing, F12, and the pause (Alt+Enter is tried in tests/gui/shell_gui_test.cpp).
#include <regex>

#include "tests/gui/x_display.h"

using namespace vantrose::test_support;

namespace {

using KeysGui = GuiTest;

double figure(const std::string& err, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(err, m, std::regex(pattern)) ? std::stod(m[1]) : -1;
}

} // namespace

// A functional rate, not a speed target: paced frames never come early, and a stall-free show
// keeps its rate. The upper bounds only leave room for a loaded machine.
TEST_F(KeysGui, FramesArePacedAt60HzOrTheFpsAskedFor) {
    for (const int fps : {60, 70}) {
        std::vector<std::string> args = {"--window", "--mode", "400", "--frames", "120", "--stats"};
        if (fps != 60) args.insert(args.end(), {"--fps", std::to_string(fps)});
        const RunResult r = run_program(args, 60);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(figure(r.err, "paced rate (\\d+) Hz"), fps) << r.err;
        const double wall = figure(r.err, "wall time ([0-9.]+) s"), due = 119.0 / fps;
        EXPECT_GE(wall, due * 0.97) << r.err;
        EXPECT_LE(wall, due * 2.5) << r.err;
    }
}

TEST_F(KeysGui, F12WritesThePresentedFrameAsTheDumpHasIt) {
    // The program writes into its current folder.
    const std::string dir = scratch("f12");
    Program p(Launch{{"--window", "--mode", "400", "--dump", "dump"}, {}, {}, dir});
    ASSERT_NE(focus_window(show_window), 0) << p.finish(0).err;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    key("F12");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    key("Escape");
    const RunResult r = p.finish(15);
    EXPECT_EQ(r.status, 0) << r.err;
    std::smatch m; // the file F12 wrote, and its frame
    ASSERT_TRUE(
        std::regex_search(r.err, m, std::regex("frame written to (\\S+/vantrose-(\\d+)\\.png)")))
        << r.err;
    EXPECT_EQ(fs::path(m[1].str()).parent_path(), fs::canonical(dir));
    const std::string shot = read_file(m[1]);
    ASSERT_GT(shot.size(), 1000u);
    EXPECT_TRUE(shot == read_file(dir + "/dump/frame-" + m[2].str() + ".png"))
        << "the same frame, byte for byte, as --dump wrote it";
    fs::remove_all(dir);
}

// On the virtual clock a pause must change nothing in the show: the window run, paused for a
// while, ends its scenes on the same frames with the same pictures as a headless run.
TEST_F(KeysGui, SpaceHoldsThePictureAndTheShowKeepsItsCues) {
    std::vector<std::string> args = {"--mode", "400",     "--clock", "virtual", "--refresh",
                                     "4",      "--trace", "--stats", "--window"};
    Program p(args);
    ASSERT_NE(focus_window(show_window), 0) << p.finish(0).err;
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
    args.back() = "--headless"; // the same show without a window
    args.insert(args.end(), {"--frames", std::to_string(frames)});
    const RunResult h = run_program(args, 60);
    // Each scene's frames and the checksum of its pictures.
    EXPECT_EQ(lines_starting(r.err, "checksum "), lines_starting(h.err, "checksum "));
    EXPECT_NE(r.err.find("\nscene 2 "), std::string::npos) << "a cut after the pause";
}
