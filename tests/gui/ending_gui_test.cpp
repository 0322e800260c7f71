// How a show in a window on the real clock ends early: a damaged or vanished archive, the
// window destroyed from outside, SIGTERM; each with its message and status, never an abort.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/run_program.h"
#include "tests/gui/x_display.h"

using namespace vantrose::test_support;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> window_real = {"--mode", "400", "--window"};
const std::string show_window = "^Quorv! - Vantrose$"; // the show's caption in a window

class EndingGui : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (./test starts one)";
        ASSERT_EQ(shell("which xdotool | wc -l"), "1\n") << "xdotool drives these tests";
        lock_ = lock_display();
        ASSERT_GE(lock_, 0);
        // Under the tsan preset: the GL driver's own threads are not ours to judge.
        ::setenv("TSAN_OPTIONS", "suppressions=" VANTROSE_SOURCE_DIR "/tests/tsan.supp", 0);
    }
    void TearDown() override {
        if (lock_ >= 0) ::close(lock_);
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    void expect_clean_end(const RunResult& r, int status) {
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
        EXPECT_FALSE(window_exists(show_window)) << "the window is gone";
    }
    int lock_ = -1;
    std::string dir_;
};

} // namespace

TEST_F(EndingGui, DamagedEntryLoadedMidShowEndsWithTheArchiveMessage) {
    dir_ = make_quick_data_dir("gui-damaged", 16);
    const RunResult r = end_by_damaged_entry(window_real, dir_);
    expect_clean_end(r, 1);
    EXPECT_NE(r.out.find("entry 0 decodes to 307200 bytes"), std::string::npos) << r.out;
}

TEST_F(EndingGui, ArchiveRemovedMidShowEndsWithStatusOne) {
    dir_ = make_quick_data_dir("gui-removed", 64);
    const RunResult r = end_by_removed_archive(window_real, dir_);
    expect_clean_end(r, 1);
    EXPECT_EQ(r.out, "Overlay file not found, terminating...\n");
}

TEST_F(EndingGui, WindowDestroyedFromOutsideEndsWithStatusTwoNamingTheDisplay) {
    dir_ = make_quick_data_dir("gui-closed", 64);
    Program p({"--mode", "400", "--window", "--trace", "--data", dir_});
    // Scene 1 starts once the window is shown and the timer runs.
    ASSERT_TRUE(p.wait_for_err("scene 1 ", 30)) << p.finish(0).err;
    const long window = find_window(show_window);
    ASSERT_NE(window, 0) << "no show window: " << p.finish(0).err;
    x_command("xdotool windowclose " + std::to_string(window));
    const RunResult r = p.finish(20);
    expect_clean_end(r, 2);
    EXPECT_NE(r.err.find(std::string("display ") + std::getenv("DISPLAY")), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("X Error of failed request"), std::string::npos) << r.err;
}

TEST_F(EndingGui, SigtermInA3DSceneEndsLikeAQuit) {
    dir_ = make_quick_data_dir("gui-sigterm", 4);
    bool reached = false;
    const RunResult r = end_by_sigterm_in_3d(window_real, dir_, &reached);
    EXPECT_TRUE(reached) << r.err;
    expect_clean_end(r, 0);
}
