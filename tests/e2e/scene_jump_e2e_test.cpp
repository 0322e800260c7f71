// --scene N, end to end: the scenes before N run unseen, and what is shown from N on is frame for
// frame what the whole show shows there.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

// "checksum scene S frames F fnv H" lines of the scenes from `first` on.
std::vector<std::string> checksums_from(const std::string& err, int first) {
    std::vector<std::string> kept;
    for (const std::string& line : lines_starting(err, "checksum scene ")) {
        int scene = 0;
        if (std::sscanf(line.c_str(), "checksum scene %d", &scene) == 1 && scene >= first)
            kept.push_back(line);
    }
    return kept;
}

std::vector<std::string> show_args(std::vector<std::string> more) {
    std::vector<std::string> args{"--headless", "--mode",      "400",
                                  "--data",     VANTROSE_DATA, "--trace"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

// One whole show shared by the three jumps (all four run side by side): into the first layered
// rotozoom (its state and palettes carried), the first 3D scene, and the last one.
TEST(SceneJump, ShowsFromSceneNWhatTheWholeShowShows) {
    Program whole(show_args({}));
    const int jumps[] = {5, 21, 40};
    std::vector<std::unique_ptr<Program>> jumped;
    for (int n : jumps) {
        jumped.push_back(std::make_unique<Program>(show_args({"--scene", std::to_string(n)})));
    }
    const RunResult full = whole.finish(600);
    ASSERT_EQ(full.status, 1) << full.err.substr(0, 2000);
    ASSERT_EQ(checksums_from(full.err, 1).size(), 42u);
    for (size_t i = 0; i < jumped.size(); ++i) {
        const int n = jumps[i];
        SCOPED_TRACE("--scene " + std::to_string(n));
        const RunResult r = jumped[i]->finish(600);
        EXPECT_EQ(r.status, 1) << r.err.substr(0, 2000);
        EXPECT_EQ(checksums_from(r.err, 1), checksums_from(full.err, n));
        // The trace starts at scene N, at the frame where the whole show reaches it.
        const std::string start = "scene " + std::to_string(n) + " frame ";
        ASSERT_FALSE(lines_starting(r.err, "scene ").empty());
        EXPECT_EQ(lines_starting(r.err, "scene ")[0], lines_starting(full.err, start)[0]);
    }
}

// The unseen frames are neither dumped nor counted by --frames, and the clock goes on from them.
TEST(SceneJump, CountsAndDumpsOnlyTheFramesShown) {
    const std::string dump = make_data_dir("scene-jump-dump") + "/frames";
    const RunResult r = run_program(show_args({"--scene", "2", "--frames", "3", "--dump", dump}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> scenes = lines_starting(r.err, "scene ");
    ASSERT_EQ(scenes.size(), 1u) << r.err;
    long frame = 0;
    ASSERT_EQ(std::sscanf(scenes[0].c_str(), "scene 2 frame %ld", &frame), 1);
    EXPECT_GT(frame, 0);
    for (long f = frame; f < frame + 3; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06ld.png", f);
        EXPECT_TRUE(std::filesystem::exists(dump + name)) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dump), {}), 3);
    std::filesystem::remove_all(std::filesystem::path(dump).parent_path());
}

// With --clock real the skip still runs on the virtual clock: the module is not caught up with
// the wall time that the unseen frames took.
TEST(SceneJump, SkipsOnTheVirtualClockWhateverClockFollows) {
    const RunResult real =
        run_program(show_args({"--clock", "real", "--scene", "3", "--frames", "1"}));
    const RunResult lockstep = run_program(show_args({"--scene", "3", "--frames", "1"}));
    EXPECT_EQ(real.status, 0) << real.err;
    const std::vector<std::string> scenes = lines_starting(lockstep.err, "scene 3 frame ");
    ASSERT_EQ(scenes.size(), 1u) << lockstep.err;
    EXPECT_EQ(lines_starting(real.err, "scene 3 frame "), scenes);
}

TEST(SceneJump, RefusesSceneNumbersOutsideTheShow) {
    for (const char* bad : {"0", "43", "-1", "5x", ""}) {
        const RunResult r = run_program({"--headless", "--scene", bad}, 20);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--scene takes a scene number from 1 to 42"), std::string::npos)
            << bad;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << bad;
    }
    EXPECT_EQ(run_program({"--headless", "--scene"}, 20).status, 2);
}
