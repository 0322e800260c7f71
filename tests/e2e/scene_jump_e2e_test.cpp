// --scene N, end to end: the scenes before N run unseen, and what is shown from N on is frame for
// frame what the whole show shows there.
#include <gtest/gtest.h>

#include <memory>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

std::vector<std::string> show_args(std::vector<std::string> more) {
    more.insert(more.begin(), {"--headless", "--mode", "400", "--trace"});
    return more;
}

} // namespace

// One whole show shared by the three jumps (all run side by side): into the first layered
// rotozoom (its state and palettes carried), the first 3D scene, and the last one. A short
// jump on the real clock skips on the virtual one all the same (the module is not caught up
// with the wall time the unseen frames took), and dumps and counts only the frames shown.
TEST(SceneJump, ShowsFromSceneNWhatTheWholeShowShows) {
    const std::string dump = scratch("scene-jump") + "/frames";
    Program whole(show_args({})),
        real(show_args({"--clock", "real", "--scene", "3", "--frames", "3", "--dump", dump}));
    const int jumps[] = {5, 21, 40};
    std::vector<std::unique_ptr<Program>> jumped;
    for (int n : jumps)
        jumped.push_back(std::make_unique<Program>(show_args({"--scene", std::to_string(n)})));
    const RunResult full = whole.finish(600);
    ASSERT_EQ(full.status, 1) << full.err.substr(0, 2000);
    const std::vector<std::string> checksums = lines_starting(full.err, "checksum scene ");
    ASSERT_EQ(checksums.size(), 42u);
    for (size_t i = 0; i < jumped.size(); ++i) {
        const int n = jumps[i];
        SCOPED_TRACE("--scene " + std::to_string(n));
        const RunResult r = jumped[i]->finish(600);
        EXPECT_EQ(r.status, 1) << r.err.substr(0, 2000);
        EXPECT_EQ(lines_starting(r.err, "checksum scene "),
                  std::vector<std::string>(checksums.begin() + n - 1, checksums.end()));
        // The trace starts at scene N, at the frame where the whole show reaches it.
        const std::vector<std::string> scenes = lines_starting(r.err, "scene ");
        ASSERT_FALSE(scenes.empty());
        EXPECT_EQ(scenes[0], lines_starting(full.err, "scene " + std::to_string(n) + " frame ")[0]);
    }

    const RunResult r = real.finish(60);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> scene = lines_starting(r.err, "scene ");
    ASSERT_EQ(scene, lines_starting(full.err, "scene 3 frame ")) << r.err;
    long frame = 0;
    ASSERT_EQ(std::sscanf(scene[0].c_str(), "scene 3 frame %ld", &frame), 1);
    for (long f = frame; f < frame + 3; ++f) EXPECT_TRUE(fs::exists(dump + frame_name(f))) << f;
    EXPECT_EQ(std::distance(fs::directory_iterator(dump), {}), 3);
    fs::remove_all(fs::path(dump).parent_path());
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
