// The whole show, headless on the virtual clock with the generated data: every scene in order on
// its cue, the archive entries each scene loads into which buffer, the 3D phases ending where
// their conditions put them, the exit status, the same frames on every run and from --scene N.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <list>
#include <map>
#include <sstream>

#include "runtime/cpu.h"
#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

struct Mark {
    int number = 0;
    long frame = 0, tick = 0;
    int order = 0, row = 0;
};

struct Show {
    RunResult run;
    std::vector<Mark> scenes;
    std::map<int, std::vector<Mark>> phases; // by scene
    std::string loads;                       // as scene_loads below has them
    long frames = -1;
};

std::vector<std::string> show_args(std::vector<std::string> more) {
    more.insert(more.end(), {"--headless", "--trace", "--stats"});
    return more;
}

Show parse(RunResult run) {
    Show show;
    show.run = std::move(run);
    std::istringstream in(show.run.err);
    int scene = 0, loading = -1;
    for (std::string line; std::getline(in, line);) {
        Mark m;
        char kind[16], name[32];
        if (std::sscanf(line.c_str(), "%15s %d frame %ld tick %ld order %d row %d", kind, &m.number,
                        &m.frame, &m.tick, &m.order, &m.row) == 6) {
            if (kind == std::string("scene")) show.scenes.push_back(m), scene = m.number;
            if (kind == std::string("phase")) show.phases[scene].push_back(m);
        } else if (std::sscanf(line.c_str(), "load %d %31s", &m.number, name) == 2) {
            show.loads += scene == loading ? std::string(", ")
                                           : (show.loads.empty() ? "" : "; ") +
                                                 std::to_string(loading = scene) + ": ";
            show.loads += std::to_string(m.number) + " " + name;
        } else {
            std::sscanf(line.c_str(), "frames %ld", &show.frames);
        }
    }
    return show;
}

// The archive entries each scene loads, in order, and where they go (0: before the first).
const std::string scene_loads =
    "0: 27 hires_picture, 28 pal0; 2: 0 buf1, 1 pal1, 4 buf1, 5 pal1; 3: 2 buf2, 3 pal0; "
    "5: 8 buf2, 9 pal0, 10 buf4, 12 buf5, 14 buf6, 11 pal2, 13 pal3, 15 pal4; 9: 29 buf6, 30 pal4; "
    "10: 16 buf3, 17 pal5, 18 buf5, 19 pal3; 17: 20 buf0, 21 pal3; 19: 22 buf0, 23 pal3; "
    "21: 47 texture0, 45 texture1, 48 texture_palette0, 46 texture_palette1; "
    "22: 23 pal2, 24 map_table; 24: 25 pal2; 26: 49 pal2; "
    "28: 41 texture0, 39 texture1, 42 texture_palette0, 40 texture_palette1; "
    "29: 37 pal2, 36 buf2, 35 map_table; 31: 42 pal2, 41 buf2; 33: 43 hires_picture, 44 pal0; "
    "34: 24 map_table, 26 pal2, 38 buf2; 36: 31 buf0, 32 buf1, 33 buf2, 34 pal4; "
    "39: 54 hires_picture, 55 pal0; "
    "40: 50 texture0, 52 texture1, 51 texture_palette0, 53 texture_palette1; 41: 6 buf1, 7 pal0";

void expect_every_scene_on_its_cue(const Show& show, const char* run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(show.run.status, 1) << "a complete show ends with status 1\n"
                                  << show.run.err.substr(0, 2000);
    const std::vector<Mark>& s = show.scenes;
    ASSERT_EQ(s.size(), 42u) << show.run.err.substr(0, 2000);
    for (int k = 0; k < 42; ++k) ASSERT_EQ(s[k].number, k + 1);
    EXPECT_EQ(show.loads, scene_loads);
    // Order loops: the next scene starts on the first frame of the scene's start order + n.
    const std::map<int, int> order_loops = {{2, 3},  {3, 4},  {4, 1},  {5, 3},  {6, 1},  {7, 1},
                                            {8, 1},  {9, 1},  {10, 3}, {11, 1}, {12, 1}, {13, 2},
                                            {14, 1}, {15, 1}, {17, 4}, {19, 4}, {22, 4}, {24, 4},
                                            {26, 4}, {29, 4}, {31, 4}, {34, 4}, {36, 1}, {37, 3}};
    for (const auto& [scene, n] : order_loops) {
        EXPECT_EQ(s[scene].order, s[scene - 1].order + n) << "scene " << scene;
        EXPECT_EQ(s[scene].row, 0) << "scene " << scene << " ran past the first frame of its order";
    }
    EXPECT_EQ(s[1].order, 5) << "the opening waits for order 5 itself";
    EXPECT_EQ(s[33].order, s[32].order + 3);
    EXPECT_EQ(s[39].order, s[38].order + 3);
    // Decay loops (also in 18 and 20, where wave_tick is still installed), the ripple's fade-out,
    // the pictures' 64-frame fade-outs after their order loops, the music fade.
    const std::map<int, long> fixed = {{16, 30}, {18, 40}, {20, 40}, {23, 30}, {25, 30},
                                       {27, 40}, {30, 40}, {32, 40}, {35, 40}, {38, 64}};
    for (const auto& [scene, frames] : fixed)
        EXPECT_EQ(s[scene].frame - s[scene - 1].frame, frames) << "scene " << scene;
    EXPECT_EQ(show.frames - s[41].frame, 64) << "the music fade";
    EXPECT_GT(s[41].frame - s[40].frame, 600) << "the scroller runs until its text has passed";
    // The 3D runners: three phases each; the order-bound ones end on their orders.
    std::map<int, std::vector<int>> numbers;
    for (const auto& [scene, p] : show.phases)
        for (const Mark& m : p) numbers[scene].push_back(m.number);
    ASSERT_EQ(numbers,
              (std::map<int, std::vector<int>>{{21, {1, 2, 3}}, {28, {1, 2, 3}}, {40, {1, 2, 3}}}));
    const std::vector<Mark>&plaque = show.phases.at(21), &floor = show.phases.at(28),
          &sphere = show.phases.at(40);
    EXPECT_EQ(plaque[2].order, s[20].order + 6);
    EXPECT_EQ(s[21].order, s[20].order + 7);
    EXPECT_EQ(floor[2].order, s[27].order + 6);
    EXPECT_EQ(s[28].order, floor[2].order) << "the sinking floor polls nothing";
    EXPECT_EQ(sphere[2].order, sphere[1].order + 5);
    for (const Mark* m : {&plaque[2], &floor[2], &sphere[2], &s[21]}) EXPECT_EQ(m->row, 0);
}

// The ticks the position-bound phases take, from the scenes' tick rules (float32 after each
// step): the plaque slides 250 ticks; the floor bounces in from y = 1200 until it almost rests
// and sinks at 15 a tick to 1600; the sphere drifts from y = -400 to 0, hovers, drifts to 500.
void expect_positions_end_the_3d_phases(const Show& show) {
    const auto ticks_in = [&](int scene, int phase) {
        const std::vector<Mark>& p = show.phases.at(scene);
        const long end = phase < 3 ? p[phase].tick : show.scenes[scene].tick;
        return end - p[phase - 1].tick;
    };
    EXPECT_EQ(ticks_in(21, 1), 250) << "the plaque slides in from x = -250 at 1.0 a tick";
    float py = 1200.0f, vy = -10.0f;
    long bounce = 0;
    do {
        vy = static_cast<float>(vy - 4.0);
        if (py < 0.0f) vy = static_cast<float>(-(vy + 4.0));
        vy = static_cast<float>(vy * 0.94);
        py += vy;
        ++bounce;
    } while (!(std::fabs(vy) <= 0.5f || std::fabs(py) <= 0.1f));
    EXPECT_EQ(ticks_in(28, 1), bounce) << "the floor settles";
    EXPECT_EQ(ticks_in(28, 3), 107) << "the floor sinks out of view at 1600";
    float angle = 0.0f, sy = -400.0f, svy = 0.0f;
    const auto tick = [&](double lift) {
        sy += svy;
        svy = static_cast<float>(std::cos(double(angle)) + lift);
        angle = static_cast<float>(angle + 3.14159 / 240.0);
    };
    long descent = 0, rise = 0;
    while (sy < 0.0f) tick(1.0), ++descent;
    for (long k = 0; k < ticks_in(40, 2); ++k) tick(0.0);
    while (sy < 500.0f) tick(1.0), ++rise;
    EXPECT_EQ(ticks_in(40, 1), descent) << "the sphere descends to y = 0";
    EXPECT_EQ(ticks_in(40, 3), rise) << "the sphere sinks away to y = 500";
}

} // namespace

// The 30 Hz show and the jumps run beside the 60 Hz one; each jump, a second run, must draw the
// same frames from there on: into the first layered rotozoom (state and palettes carried), the
// first 3D scene and the last. A short jump on the real clock skips on the virtual one all the
// same, and dumps and counts only the frames shown. Every processor path draws the same frames:
// the portable one the whole show, the others the jumps.
TEST(WholeShow, EveryCueLoadAndPhaseAt60And30HzTheSameFramesOnEveryRunAndFromAnyScene) {
    const std::string dump = scratch("scene-jump") + "/frames";
    Program whole(show_args({"--mode", "400"})),
        real({"--headless", "--mode", "400", "--trace", "--clock", "real", "--scene", "3",
              "--frames", "3", "--dump", dump});
    // Two ticks fall in some frames at 30 Hz; a 3D phase may end a tick past its position.
    Program hz30(show_args({"--mode", "480", "--refresh", "30"}));
    Program portable(Launch{show_args({"--mode", "400"}), {}, {"VANTROSE_CPU=portable"}});
    const std::vector<const char*> paths = vantrose::supported_cpu_paths();
    const int jumps[] = {5, 21, 40};
    std::list<Program> jumped;
    for (int k = 0; k < 3; ++k) {
        jumped.emplace_back(
            Launch{show_args({"--mode", "400", "--scene", std::to_string(jumps[k])}),
                   {},
                   {"VANTROSE_CPU=" + std::string(paths[(k + 1) % paths.size()])}});
    }
    const Show first = parse(whole.finish(600));
    expect_every_scene_on_its_cue(first, "60 Hz");
    expect_every_scene_on_its_cue(parse(hz30.finish(600)), "30 Hz in 480 lines");
    if (HasFatalFailure()) return;
    expect_positions_end_the_3d_phases(first);
    const std::vector<std::string> checksums = lines_starting(first.run.err, "checksum scene ");
    ASSERT_EQ(checksums.size(), 42u);
    EXPECT_EQ(lines_starting(portable.finish(600).err, "checksum scene "), checksums);
    for (int k = 0; k < 3; ++k) {
        const int n = jumps[k];
        SCOPED_TRACE("--scene " + std::to_string(n) + ", path " + paths[(k + 1) % paths.size()]);
        const RunResult r = jumped.front().finish(600);
        jumped.pop_front();
        EXPECT_EQ(r.status, 1) << r.err.substr(0, 2000);
        EXPECT_EQ(lines_starting(r.err, "checksum scene "),
                  std::vector<std::string>(checksums.begin() + n - 1, checksums.end()));
        // The trace starts at scene N, at the frame where the whole show reaches it.
        const std::vector<std::string> scenes = lines_starting(r.err, "scene ");
        ASSERT_FALSE(scenes.empty());
        EXPECT_EQ(scenes[0],
                  lines_starting(first.run.err, "scene " + std::to_string(n) + " frame ")[0]);
    }
    const RunResult r = real.finish(60);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> scene = lines_starting(r.err, "scene ");
    ASSERT_EQ(scene, lines_starting(first.run.err, "scene 3 frame ")) << r.err;
    long frame = 0;
    ASSERT_EQ(std::sscanf(scene[0].c_str(), "scene 3 frame %ld", &frame), 1);
    for (long f = frame; f < frame + 3; ++f) EXPECT_TRUE(fs::exists(dump + frame_name(f))) << f;
    EXPECT_EQ(std::distance(fs::directory_iterator(dump), {}), 3);
    fs::remove_all(fs::path(dump).parent_path());
}

TEST(WholeShow, RefusesSceneNumbersOutsideTheShow) {
    for (const char* bad : {"0", "43", "-1", "5x", ""}) {
        const RunResult r = run_program({"--headless", "--scene", bad}, 20);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--scene takes a scene number from 1 to 42"), std::string::npos)
            << bad;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << bad;
    }
    EXPECT_EQ(run_program({"--headless", "--scene"}, 20).status, 2);
}
