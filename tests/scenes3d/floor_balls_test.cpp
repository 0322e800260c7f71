#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/script.h"
#include "scene_fixture.h"
#include "scenes3d/floor_balls.h"
#include "scenes3d/random.h"
#include "shell/music.h"
#include "shell/timer.h"

using namespace vantrose;
using namespace vantrose::test;

namespace {

class FloorBalls : public ::testing::Test {
  protected:
    void SetUp() override {
        use_test_archive();
        random_state = 1;
        set_up_scene_3d_1();
    }
    void TearDown() override {
        free_texture_block();
        set_timer_routine(nullptr);
    }
};

// The generator state from which the n-th draw (counting from 1) is 0.
uint32_t state_drawing_zero_at(int n) {
    for (uint32_t s = 0;; ++s) {
        random_state = s;
        for (int k = 1; k < n; ++k) random_draw();
        if (random_draw() == 0) return s;
    }
}

} // namespace

TEST_F(FloorBalls, SetUpFillsTheFloorAndTheBallUpTo62VerticesAnd66Faces) {
    EXPECT_EQ(model_vertex_total, 62u);
    EXPECT_EQ(model_face_total, 66u);
    EXPECT_EQ(objects[0].vertex_count, 36);
    EXPECT_EQ(objects[0].face_count, 18);
    EXPECT_EQ(objects[1].vertex_count, 26);
    EXPECT_EQ(objects[1].face_count, 48);
    EXPECT_EQ(objects[1].first_vertex, 36);
    EXPECT_EQ(objects[1].first_face, 18);
    EXPECT_EQ(model_faces[0].texture, 1);
    EXPECT_EQ(model_faces[17].texture, 1);
    EXPECT_EQ(model_faces[18].texture, 0);
    EXPECT_EQ(model_faces[65].texture, 0);
    EXPECT_EQ(map_v_from_y, 0);
    EXPECT_EQ(light_angle, 0.0f);
}

TEST_F(FloorBalls, LoadsItsTexturesAndPalettesFromTheirEntries) {
    EXPECT_EQ(texture_block[0], 41);
    EXPECT_EQ(texture_block[65536], 39);
    EXPECT_EQ(texture_palettes[0], 42);
    EXPECT_EQ(texture_palettes[768], 40);
}

TEST_F(FloorBalls, FloorTilesCoverTheSquareAndFaceUp) {
    // Tile k = 0 (row 0, column 0).
    EXPECT_EQ(model_vertices[0].x, -300.0f);
    EXPECT_EQ(model_vertices[0].z, -900.0f);
    EXPECT_EQ(model_vertices[1].x, -900.0f);
    EXPECT_EQ(model_vertices[2].z, -300.0f);
    // Tile k = 8 reaches the far corner.
    EXPECT_EQ(model_vertices[32].x, 900.0f);
    EXPECT_EQ(model_vertices[35].z, 900.0f);
    for (int i = 0; i < 36; ++i) EXPECT_EQ(model_vertices[i].y, 70.0f);
    for (int k = 0; k < 18; ++k) {
        const Face& f = model_faces[k];
        Vec a{model_vertices[f.a].x, model_vertices[f.a].y, model_vertices[f.a].z};
        Vec b{model_vertices[f.b].x, model_vertices[f.b].y, model_vertices[f.b].z};
        Vec c{model_vertices[f.c].x, model_vertices[f.c].y, model_vertices[f.c].z};
        EXPECT_LT(cross(c - b, a - b).y, 0) << k; // towards -y: up on the screen
    }
    EXPECT_EQ(model_faces[16].a, 34);
    EXPECT_EQ(model_faces[17].c, 34);
}

TEST_F(FloorBalls, BallLoadsFromItsPackedTablesDividedByFour) {
    const ModelVertex* ball = model_vertices + 36;
    EXPECT_EQ(ball[0].z, 18.0f);   // 73 / 4
    EXPECT_EQ(ball[5].y, -2.0f);   // -10 / 4 truncates toward zero
    EXPECT_EQ(ball[13].x, -18.0f); // -72 / 4
    EXPECT_EQ(ball[25].z, -18.0f);
    const Face* faces = model_faces + 18;
    EXPECT_EQ(faces[7].a, 0);
    EXPECT_EQ(faces[7].b, 8);
    EXPECT_EQ(faces[7].c, 1);
    EXPECT_EQ(faces[47].b, 17);
    EXPECT_EQ(faces[47].c, 24);
}

TEST(FloorBallsTables, BallFacesOutwards) {
    std::vector<uint8_t> bytes = ball_packed_vertices();
    ASSERT_EQ(bytes.size(), 2u + 26 * 6);
    WideTable v;
    for (int i = 0; i < 26; ++i) {
        int32_t c[3];
        for (int k = 0; k < 3; ++k)
            c[k] = static_cast<int16_t>(bytes[2 + 6 * i + 2 * k] | bytes[3 + 6 * i + 2 * k] << 8);
        v.add(c[0], c[1], c[2]);
    }
    WideTable f;
    for (const auto& face : ball_face_list()) f.add(face[0], face[1], face[2]);
    EXPECT_EQ(inward_faces(v, f, 0, 48, Vec{0, 0, 0}), 0);
    EXPECT_EQ(ball_packed_faces().size(), 2u + 48 * 6);
}

TEST_F(FloorBalls, RootRisesFromBelowWithTenBallsAsChildren) {
    const SceneNode& root = node_templates[0];
    EXPECT_EQ(node_count, 11u);
    EXPECT_EQ(root_count, 1u);
    EXPECT_EQ(root.object, 0);
    EXPECT_EQ(root.py, 1200.0f);
    EXPECT_EQ(root.vy, -10.0f);
    EXPECT_EQ(root.first_child, 1);
    EXPECT_EQ(root.child_count, 10);
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertex_count, 36u + 10 * 26);
    EXPECT_EQ(world_face_count, 18u + 10 * 48);
}

TEST_F(FloorBalls, FirstBallTakesTheFirstSevenDraws) {
    // Seed 1: 41, 18467, 6334, 26500, 19169, 15724, 11478.
    const SceneNode& b = node_templates[1];
    EXPECT_EQ(b.object, 1);
    EXPECT_EQ(b.px, 200.0f);
    EXPECT_EQ(b.py, static_cast<float>(-41 / 300.0));
    EXPECT_EQ(b.pz, static_cast<float>(18467 / 200.0 - 54));
    EXPECT_EQ(b.vx, static_cast<float>(-6334 / 18000.0 - 1));
    EXPECT_EQ(b.vy, static_cast<float>(26500 / 11000.0 / 6));
    EXPECT_EQ(b.vz, 0.0f);
    EXPECT_EQ(b.wx, static_cast<float>(1330.0 / 19169 / 6));
    EXPECT_EQ(b.wy, static_cast<float>(1330.0 / 15724 / 6));
    EXPECT_EQ(b.wz, static_cast<float>(1330.0 / 11478 / 6));
    EXPECT_EQ(b.first_child, 0);
    EXPECT_EQ(b.child_count, 0);
    // The second ball starts with the eighth draw, 29358.
    EXPECT_EQ(node_templates[2].py, static_cast<float>(-29358 / 300.0));
}

TEST_F(FloorBalls, SpawnedBallsStayInTheirRanges) {
    for (int round = 0; round < 50; ++round)
        for (uint32_t i = 1; i <= 10; ++i) {
            spawn_ball(i);
            const SceneNode& b = node_templates[i];
            ASSERT_LE(b.py, 0.0f);
            ASSERT_GE(b.py, -109.3f);
            ASSERT_GE(b.pz, -54.0f);
            ASSERT_LE(b.pz, 109.9f);
            ASSERT_LE(b.vx, -1.0f);
            ASSERT_GE(b.vx, -2.8204f);
            ASSERT_GE(b.vy, 0.0f);
            ASSERT_LE(b.vy, 0.4966f);
            ASSERT_TRUE(std::isfinite(b.wx) && std::isfinite(b.wy) && std::isfinite(b.wz));
        }
}

TEST_F(FloorBalls, ASpinDrawOfZeroIsDrawnAgain) {
    // The fifth draw of a placement is the x spin.
    uint32_t s = state_drawing_zero_at(5);
    random_state = s;
    int32_t draws[6];
    for (int32_t& d : draws) d = random_draw();
    ASSERT_EQ(draws[4], 0);
    random_state = s;
    spawn_ball(3);
    EXPECT_TRUE(std::isfinite(node_templates[3].wx));
    EXPECT_EQ(node_templates[3].wx, static_cast<float>(1330.0 / draws[5] / 6));
}

TEST_F(FloorBalls, BallLeavingLeftReentersAtTheRightMovingLeft) {
    for (int round = 0; round < 200; ++round) {
        respawn_ball(4, -1);
        const SceneNode& b = node_templates[4];
        ASSERT_EQ(b.px, 200.0f);
        ASSERT_LE(b.vx, -1.0f);
        ASSERT_GE(b.vx, -2.8204f);
        ASSERT_GE(b.vy, 0.0f);
        ASSERT_LE(b.vy, 0.3901f); // 32767 / 14000 / 6
    }
}

TEST_F(FloorBalls, BallLeavingRightReentersAtTheLeft) {
    float slowest = 10, fastest = -10;
    for (int round = 0; round < 200; ++round) {
        respawn_ball(4, 1);
        const SceneNode& b = node_templates[4];
        ASSERT_EQ(b.px, -200.0f);
        slowest = std::min(slowest, b.vx);
        fastest = std::max(fastest, b.vx);
    }
    EXPECT_GE(slowest, -1.0f);
    EXPECT_LE(fastest, 0.8204f);
    EXPECT_LT(slowest, 0.0f); // some drift left again and return at the right
}

TEST_F(FloorBalls, MainTickReentersBallsPastEitherEdge) {
    node_templates[1].px = -200.5f;
    node_templates[2].px = 200.5f;
    node_templates[3].px = std::numeric_limits<float>::quiet_NaN();
    node_templates[4].px = -200.0f; // still on the floor
    node_templates[4].vx = 0.0f;
    tick_balls_main();
    // Re-entered balls have moved by their new speed already.
    EXPECT_GE(node_templates[1].px, 200.0f - 2.8204f);
    EXPECT_LE(node_templates[1].px, 199.0f);
    EXPECT_GE(node_templates[2].px, -201.0f);
    EXPECT_LE(node_templates[2].px, -200.0f + 0.8204f);
    EXPECT_TRUE(std::isfinite(node_templates[3].px));
    EXPECT_EQ(node_templates[4].px, -200.0f);
}

TEST_F(FloorBalls, MainTickBouncesFallingBallsAndSwingsTheLight) {
    SceneNode& b = node_templates[5];
    b.px = 0.0f;
    b.py = 36.0f;
    b.vy = 2.0f;
    b.vx = -1.0f;
    SceneNode& c = node_templates[6];
    c.px = 0.0f;
    c.py = 10.0f;
    c.vy = 2.0f;
    tick_balls_main();
    EXPECT_EQ(b.vy, static_cast<float>(-(static_cast<float>(2.0f + 0.1) - 0.1)));
    EXPECT_EQ(c.vy, static_cast<float>(2.0f + 0.1));
    EXPECT_EQ(c.py, static_cast<float>(10.0f + c.vy));
    EXPECT_EQ(b.vx, -1.0f); // sin 0 / 14 pushes nothing on the first tick
    EXPECT_EQ(node_templates[0].rz, -0.0f);

    float a = static_cast<float>(3.14159 / 180.0);
    EXPECT_EQ(light_angle, a);
    EXPECT_EQ(light_vector.lx, static_cast<float>(std::cos(double(a)) * 100.0));
    EXPECT_EQ(light_vector.ly, 80.0f);
    EXPECT_NEAR(light_vector.lz, -48.2547, 1e-3);

    tick_balls_main();
    EXPECT_EQ(node_templates[0].rz, static_cast<float>(-std::sin(double(a)) * 0.5));
    EXPECT_EQ(b.vx, static_cast<float>(-1.0f + std::sin(double(a)) / 14.0));
}

TEST_F(FloorBalls, FloorRisesOvershootsAndSettles) {
    set_timer_routine(tick_bounce_in);
    tick_bounce_in();
    EXPECT_EQ(node_templates[0].vy, static_cast<float>(-14.0 * 0.94));
    EXPECT_EQ(node_templates[0].py, static_cast<float>(1200.0f + static_cast<float>(-14.0 * 0.94)));
    EXPECT_EQ(node_templates[1].px, 200.0f); // the balls only ride along

    bool overshot = false;
    int ticks = 1;
    while (!scene_3d_1_floor_settled() && ticks < 5000) {
        tick_bounce_in();
        overshot = overshot || node_templates[0].py < 0.0f;
        ++ticks;
    }
    EXPECT_TRUE(overshot);
    EXPECT_LT(ticks, 200);
    EXPECT_LE(std::fabs(node_templates[0].vy), 0.5f);
}

TEST_F(FloorBalls, FloorLeftAloneComesToRest) {
    set_timer_routine(tick_bounce_in);
    for (int t = 0; t < 5000; ++t) tick_bounce_in();
    EXPECT_TRUE(scene_3d_1_floor_settled());
}

TEST_F(FloorBalls, SettledTestMatchesEitherBound) {
    node_templates[0].vy = -0.5f;
    node_templates[0].py = 50.0f;
    EXPECT_TRUE(scene_3d_1_floor_settled());
    node_templates[0].vy = 0.6f;
    EXPECT_FALSE(scene_3d_1_floor_settled());
    node_templates[0].py = -0.1f;
    EXPECT_TRUE(scene_3d_1_floor_settled());
}

TEST_F(FloorBalls, StaleBounceTickLeavesThePinnedFloorAlone) {
    set_timer_routine(tick_balls_main);
    node_templates[0].py = 0.0f;
    node_templates[0].vy = 0.0f;
    tick_bounce_in();
    EXPECT_EQ(node_templates[0].py, 0.0f);
    EXPECT_EQ(node_templates[0].vy, 0.0f);
}

TEST_F(FloorBalls, FloorSinksOutOfViewAt1600) {
    node_templates[0].py = 0.0f;
    node_templates[0].vy = 15.0f;
    int ticks = 0;
    while (!scene_3d_1_floor_gone()) {
        tick_balls_main();
        ASSERT_LT(++ticks, 200);
    }
    EXPECT_EQ(ticks, 107); // 1600 / 15 rounded up
}

TEST(FloorBallsPhases, MusicPhaseEndsSixOrdersOn) {
    scene_start_order = 3;
    music_order = 8;
    EXPECT_FALSE(scene_3d_1_order_6());
    music_order = 9;
    EXPECT_TRUE(scene_3d_1_order_6());
}
