// A show in a window destroyed from outside ends with its message and status 2, never an abort
// (the other early endings are the headless runs' of tests/e2e/ending_e2e_test.cpp).
#include "tests/gui/x_display.h"

using namespace vantrose::test_support;
using EndingGui = GuiTest;

TEST_F(EndingGui, WindowDestroyedFromOutsideEndsWithStatusTwoNamingTheDisplay) {
    const std::string dir = make_data_dir("gui-closed", 64);
    Program p({"--mode", "400", "--window", "--trace", "--data", dir});
    // Scene 1 starts once the window is shown and the timer runs.
    ASSERT_TRUE(p.wait_for_err("scene 1 ", 30)) << p.finish(0).err;
    const long window = find_window(show_window);
    ASSERT_NE(window, 0) << "no show window: " << p.finish(0).err;
    x_command("xdotool windowclose " + std::to_string(window));
    const RunResult r = p.finish(20);
    fs::remove_all(dir);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(std::string("display ") + std::getenv("DISPLAY")), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("X Error of failed request"), std::string::npos) << r.err;
    EXPECT_FALSE(window_exists(show_window)) << "the window is gone";
}
