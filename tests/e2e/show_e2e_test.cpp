// The whole show, headless on the virtual clock with the generated data: every scene in order,
// every cut where the music or the frame count puts it, and the same frames on every run.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

struct Mark {
    std::string kind; // "scene" or "phase"
    int number = 0;
    long frame = 0;
    int order = 0;
    int row = 0;
};

struct Show {
    RunResult run;
    std::vector<Mark> marks;
    std::vector<std::string> checksums;
    long frames = -1;
};

// The generated data; VANTROSE_SHOW_DATA points elsewhere while developing.
std::string show_data() {
    const char* other = std::getenv("VANTROSE_SHOW_DATA");
    return other ? other : VANTROSE_DATA;
}

Show play(const std::string& refresh) {
    Show show;
    show.run = run_program({"--headless", "--mode", "400", "--data", show_data(), "--refresh",
                            refresh, "--trace", "--stats"},
                           600);
    std::istringstream in(show.run.err);
    for (std::string line; std::getline(in, line);) {
        Mark m;
        char kind[16];
        long tick;
        if (std::sscanf(line.c_str(), "%15s %d frame %ld tick %ld order %d row %d", kind, &m.number,
                        &m.frame, &tick, &m.order, &m.row) == 6) {
            m.kind = kind;
            show.marks.push_back(m);
        } else if (line.rfind("checksum scene ", 0) == 0) {
            show.checksums.push_back(line);
        } else {
            std::sscanf(line.c_str(), "frames %ld", &show.frames);
        }
    }
    return show;
}

std::vector<Mark> scenes_of(const Show& show) {
    std::vector<Mark> scenes;
    for (const Mark& m : show.marks)
        if (m.kind == "scene") scenes.push_back(m);
    return scenes;
}

void expect_every_scene_in_order(const Show& show) {
    EXPECT_FALSE(show.run.timed_out);
    EXPECT_EQ(show.run.status, 1) << show.run.err.substr(0, 2000);
    const std::vector<Mark> scenes = scenes_of(show);
    ASSERT_EQ(scenes.size(), 42u);
    for (int s = 0; s < 42; ++s) EXPECT_EQ(scenes[s].number, s + 1);
}

// The 3D runners' phase lines that follow a scene's line, in order.
std::vector<Mark> phases_after(const Show& show, int scene) {
    std::vector<Mark> phases;
    bool inside = false;
    for (const Mark& m : show.marks) {
        if (m.kind == "scene")
            inside = m.number == scene;
        else if (inside)
            phases.push_back(m);
    }
    return phases;
}

void expect_order_loops_end_on_their_orders(const Show& show) {
    const std::vector<Mark> s = scenes_of(show);
    ASSERT_EQ(s.size(), 42u);
    // scene -> music orders it lasts; the next scene starts on the first poll of that order.
    const std::map<int, int> order_loops = {{2, 3},  {3, 4},  {4, 1},  {5, 3},  {6, 1},  {7, 1},
                                            {8, 1},  {9, 1},  {10, 3}, {11, 1}, {12, 1}, {13, 2},
                                            {14, 1}, {15, 1}, {17, 4}, {19, 4}, {22, 4}, {24, 4},
                                            {26, 4}, {29, 4}, {31, 4}, {34, 4}, {36, 1}, {37, 3}};
    for (const auto& [scene, n] : order_loops) {
        const Mark& start = s[scene - 1];
        const Mark& next = s[scene];
        EXPECT_EQ(next.order, start.order + n) << "scene " << scene;
        EXPECT_EQ(next.row, 0) << "scene " << scene << " ran past the first frame of its order";
    }
    // Picture scenes: the order loop, then 64 fade frames within the same order.
    EXPECT_EQ(s[1].order, 5) << "the opening waits for order 5 itself";
    EXPECT_EQ(s[33].order, s[32].order + 3);
    EXPECT_EQ(s[39].order, s[38].order + 3);
}

void expect_fixed_loops_take_their_frames(const Show& show) {
    const std::vector<Mark> s = scenes_of(show);
    ASSERT_EQ(s.size(), 42u);
    // Decay loops, also in 18 and 20 where wave_tick is still installed; 38 is the ripple fade.
    const std::map<int, long> fixed = {{16, 30}, {18, 40}, {20, 40}, {23, 30}, {25, 30},
                                       {27, 40}, {30, 40}, {32, 40}, {35, 40}, {38, 64}};
    for (const auto& [scene, frames] : fixed)
        EXPECT_EQ(s[scene].frame - s[scene - 1].frame, frames) << "scene " << scene;
    EXPECT_EQ(show.frames - s[41].frame, 64) << "the music fade";
    EXPECT_GT(s[41].frame - s[40].frame, 600) << "the scroller runs until its text has passed";
}

void expect_3d_phases_end_on_their_orders(const Show& show) {
    const std::vector<Mark> s = scenes_of(show);
    ASSERT_EQ(s.size(), 42u);
    // Plaque and gimbal: slide in, turn until start + 6, slide out until start + 7.
    const std::vector<Mark> plaque = phases_after(show, 21);
    ASSERT_EQ(plaque.size(), 3u);
    EXPECT_EQ(plaque[2].order, s[20].order + 6);
    EXPECT_EQ(plaque[2].row, 0);
    EXPECT_EQ(s[21].order, s[20].order + 7);
    EXPECT_EQ(s[21].row, 0);
    // Floor and balls: bounce in, play until start + 6, sink without polling.
    const std::vector<Mark> floor = phases_after(show, 28);
    ASSERT_EQ(floor.size(), 3u);
    EXPECT_EQ(floor[2].order, s[27].order + 6);
    EXPECT_EQ(floor[2].row, 0);
    EXPECT_EQ(s[28].order, floor[2].order) << "the sinking floor polls nothing";
    // Sphere and cluster: the runner polls first; it hovers for five orders.
    const std::vector<Mark> sphere = phases_after(show, 40);
    ASSERT_EQ(sphere.size(), 3u);
    EXPECT_EQ(sphere[2].order, sphere[1].order + 5);
    EXPECT_EQ(sphere[2].row, 0);
    for (const std::vector<Mark>* phases : {&plaque, &floor, &sphere})
        for (int p = 0; p < 3; ++p) EXPECT_EQ((*phases)[p].number, p + 1);
}

} // namespace

TEST(WholeShow, PlaysEverySceneOnItsCueAndTheSameFramesOnEveryRun) {
    const Show first = play("60");
    expect_every_scene_in_order(first);
    if (HasFatalFailure()) return;
    expect_order_loops_end_on_their_orders(first);
    expect_fixed_loops_take_their_frames(first);
    expect_3d_phases_end_on_their_orders(first);

    const Show again = play("60");
    ASSERT_EQ(first.checksums.size(), 42u);
    EXPECT_EQ(again.checksums, first.checksums);
}

TEST(WholeShow, CompletesAt70Hz) {
    expect_every_scene_in_order(play("70"));
}

TEST(WholeShow, CompletesAt144Hz) {
    expect_every_scene_in_order(play("144"));
}
