// The three 3D scenes: their set-ups (objects, nodes, textures), their built-in meshes facing
// outwards, every tick routine's step, the phase ends, the random draws and the wide model loader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <tuple>
#include <unistd.h>

#include "content/archive_writer.h"
#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "scenes3d/floor_balls.h"
#include "scenes3d/plaque_gimbal.h"
#include "scenes3d/random.h"
#include "scenes3d/sphere_cluster.h"
#include "scenes3d/wide_model.h"
#include "shell/timer.h"

using namespace vantrose;

namespace {

// An archive whose texture and palette entries hold their own index in every byte.
struct Scenes : ::testing::Test {
    std::string path = ::testing::TempDir() + "scenes3d_" + std::to_string(::getpid()) + ".dat";
    void SetUp() override {
        std::vector<Bytes> entries(54, Bytes{1});
        for (uint32_t i : {40u, 42u, 46u, 48u, 51u, 53u}) entries[i] = Bytes(768, uint8_t(i));
        for (uint32_t i : {39u, 41u, 45u, 47u, 50u, 52u}) entries[i] = Bytes(65536, uint8_t(i));
        write_file(path, build_archive(entries));
        archive_path = path;
        allocate_buffers();
    }
    void TearDown() override {
        free_texture_block();
        free_buffers();
        std::remove(path.c_str());
        archive_path = "vantrose.dat";
    }
};

// Six times the signed volume enclosed by a mesh's faces: positive when they face outwards
// (a face a, b, c is drawn when its corners appear clockwise on the screen, y down).
double signed_volume(const WideTable& v, const WideTable& f) {
    double sum = 0;
    for (int32_t k = 0; k < f.count(); ++k) {
        double p[3][3];
        for (int c = 0; c < 3; ++c)
            for (int a = 0; a < 3; ++a) p[c][a] = v.at(f.at(k, c), a);
        sum += p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
               p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
               p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
    }
    return sum;
}

} // namespace

TEST_F(Scenes, SetUpsBuildTheirObjectsNodesAndTextures) {
    const struct {
        void (*set_up)();
        uint32_t vertices, faces, nodes, roots;
        uint8_t texture0, texture1, palette0, palette1, map_v_from_y;
    } scenes[] = {{set_up_scene_3d_2, 472, 916, 5, 1, 47, 45, 48, 46, 1},
                  {set_up_scene_3d_1, 62, 66, 11, 1, 41, 39, 42, 40, 0},
                  {set_up_scene_3d_3, 102, 188, 86, 2, 50, 52, 51, 53, 0}};
    for (const auto& s : scenes) {
        random_state = 1;
        map_v_from_y = 0;
        s.set_up();
        EXPECT_EQ(std::tuple(model_vertex_total, model_face_total, node_count, root_count),
                  std::tuple(s.vertices, s.faces, s.nodes, s.roots));
        EXPECT_EQ((Bytes{texture_block[0], texture_block[65536], texture_palettes[0],
                         texture_palettes[768], map_v_from_y}),
                  (Bytes{s.texture0, s.texture1, s.palette0, s.palette1, s.map_v_from_y}));
    }
    // The sphere cluster: 582 vertices and 824 faces once instanced; node 1 the sphere.
    set_up_scene_3d_3();
    EXPECT_EQ(node_templates[1].rx, -1.570795f);
    // Spins (wz, wy, wx): s = 3.14159 / 240 a tick, the tetrahedra 2s (the fourth x at s).
    const float s = 0.01308995857834816f, s2 = 0.02617991715669632f;
    const std::pair<uint32_t, std::tuple<float, float, float>> spins[] = {
        {0, {s, s, s}}, {1, {-s, -s, s}}, {2, {0, 0, s}},   {4, {0, s, 0}},
        {9, {s, 0, s}}, {22, {0, 0, s2}}, {23, {s2, 0, 0}}, {25, {s2, 0, s}}};
    for (const auto& [i, w] : spins)
        EXPECT_EQ(std::tuple(node_templates[i].wz, node_templates[i].wy, node_templates[i].wx), w)
            << i;
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertex_count, 582u);
    EXPECT_EQ(world_face_count, 824u);
}

TEST(SceneMeshes, EveryBuiltInMeshFacesOutwards) {
    // clang-format off
    const std::pair<WideTable, WideTable> meshes[] = {
        {plaque_vertices(), plaque_faces()}, {legs_vertices(), legs_faces()},
        {ring_vertices(0), ring_faces(0)}, {ring_vertices(1), ring_faces(1)},
        {ring_vertices(2), ring_faces(2)}, {sphere_vertices(), sphere_faces()},
        {cluster_ball_vertices(), cluster_ball_faces()}, {polyhedron_vertices(), polyhedron_faces()},
        {tetrahedron_vertices(), tetrahedron_faces()}};
    // clang-format on
    for (size_t m = 0; m < std::size(meshes); ++m)
        EXPECT_GT(signed_volume(meshes[m].first, meshes[m].second), 0) << m;
}

namespace {

// Every motion field of a node, in record order: positions, velocities, angles, rates.
constexpr float SceneNode::*motion[] = {
    &SceneNode::px, &SceneNode::py, &SceneNode::pz, &SceneNode::vx, &SceneNode::vy, &SceneNode::vz,
    &SceneNode::rz, &SceneNode::ry, &SceneNode::rx, &SceneNode::wz, &SceneNode::wy, &SceneNode::wx};
// The scalars the ticks move besides the nodes.
float* const clocks[] = {&scene_3d_2_angle, &scene_3d_3_angle, &light_angle,
                         &light_vector.lx,  &light_vector.ly,  &light_vector.lz};
enum { angle_2, angle_3, light, lx, ly, lz };
constexpr double degree = 3.14159 / 180.0;

void advance(SceneNode& n) {
    for (int k = 0; k < 3; ++k) n.*motion[k] += n.*motion[k + 3];
    for (int k = 6; k < 9; ++k) n.*motion[k] += n.*motion[k + 3];
}

// A ball as spawn and re-entry place it, drawing from the generator in the listed order.
SceneNode placed_ball(float px, double side, double vy_divisor) {
    SceneNode n{};
    n.object = 1;
    n.px = px;
    n.py = static_cast<float>(-random_draw() / 300.0);
    n.pz = static_cast<float>(random_draw() / 200.0 - 54.0);
    n.vx = static_cast<float>(random_draw() * side / 18000.0 - 1.0);
    n.vy = static_cast<float>(random_draw() / vy_divisor / 6.0);
    for (float SceneNode::*w : {&SceneNode::wx, &SceneNode::wy, &SceneNode::wz})
        n.*w = static_cast<float>(1330.0 / random_draw() / 6.0);
    return n;
}

// The sphere and the cluster sway as one; `lift` is the drift's steady descent.
void sway(SceneNode* n, float* c, double lift) {
    for (uint32_t i = 0; i < 86; ++i) advance(n[i]);
    const double a = c[angle_3];
    for (int r = 0; r < 2; ++r) {
        n[r].vx = static_cast<float>(std::sin(a));
        n[r].vy = static_cast<float>(std::cos(a) + lift);
        n[r].vz = static_cast<float>(3.0 * std::sin(a));
    }
    c[angle_3] = static_cast<float>(c[angle_3] + 3.14159 / 240.0);
}

} // namespace

TEST_F(Scenes, EveryTickRoutineMovesByItsOwnConstants) {
    // From a start where every motion field differs, one tick must give exactly the model's
    // nodes and clocks: a doubled step, a missed node or a moved threshold shows in some field.
    const struct {
        const char* name;
        void (*set_up)();
        void (*start)(); // the case's own start values
        void (*tick)();
        void (*model)(SceneNode* n, float* c);
    } cases[] = {
        {"plaque", set_up_scene_3d_2, [] { scene_3d_2_angle = 0.5f; }, tick_scene_3d_2,
         [](SceneNode* n, float* c) {
             c[angle_2] = static_cast<float>(c[angle_2] + degree);
             for (uint32_t i = 0; i < 5; ++i) advance(n[i]);
             const double a = c[angle_2];
             n[2].wx = n[3].wz = static_cast<float>(std::cos(a) / 32.0);
             n[4].wx = static_cast<float>(std::sin(a) / 32.0);
             n[0].pz = static_cast<float>(std::sin(a) * 300.0 - 400.0);
             n[0].wy = static_cast<float>(3.14159 / 360.0);
         }},
        // The floor at 30 moving at 5, then at -30 moving at -5 (-9, reflected as -(-9 + 4)).
        {"floor rising", set_up_scene_3d_1,
         [] { node_templates[0].py = 30, node_templates[0].vy = 5; }, tick_bounce_in,
         [](SceneNode* n, float*) { n[0].vy = float(1.0 * 0.94), advance(n[0]); }},
        {"floor under rest", set_up_scene_3d_1,
         [] { node_templates[0].py = -30, node_templates[0].vy = -5; }, tick_bounce_in,
         [](SceneNode* n, float*) { n[0].vy = float(5.0 * 0.94), advance(n[0]); }},
        {"balls", set_up_scene_3d_1,
         [] {
             light_angle = 0.5f;
             node_templates[1].py = 35.5f, node_templates[2].py = 35.0f;
             node_templates[3].px = -200.0f, node_templates[4].px = -200.5f;
             node_templates[5].px = 200.0f, node_templates[6].px = 200.5f;
         },
         tick_balls_main,
         [](SceneNode* n, float* c) {
             const double swing = std::sin(static_cast<double>(c[light]));
             n[0].rz = static_cast<float>(-swing * 0.5);
             for (int i = 1; i <= 10; ++i) {
                 n[i].vy = static_cast<float>(n[i].vy + 0.1);
                 if (i == 1) n[i].vy = static_cast<float>(-(n[i].vy - 0.1)); // above 35 alone
                 n[i].vx = static_cast<float>(n[i].vx + swing / 14.0);
             }
             n[4] = placed_ball(200.0f, -1.0, 14000.0);
             n[6] = placed_ball(-200.0f, 1.0, 14000.0);
             c[light] = static_cast<float>(c[light] + degree);
             c[lx] = static_cast<float>(std::cos(static_cast<double>(c[light])) * 100.0);
             c[lz] = static_cast<float>(std::sin(static_cast<double>(c[light])) * 100.0 - 50.0);
             for (int i = 0; i <= 10; ++i) advance(n[i]);
         }},
        {"spawn", set_up_scene_3d_1, [] {}, [] { spawn_ball(3); },
         [](SceneNode* n, float*) { n[3] = placed_ball(200.0f, -1.0, 11000.0); }},
        {"drift", set_up_scene_3d_3, [] { scene_3d_3_angle = 0.5f; }, tick_scene_3d_3_drift,
         [](SceneNode* n, float* c) { sway(n, c, 1.0); }},
        {"hover", set_up_scene_3d_3, [] { scene_3d_3_angle = 0.5f; }, tick_scene_3d_3_hover,
         [](SceneNode* n, float* c) { sway(n, c, 0.0); }},
    };
    for (const auto& t : cases) {
        t.set_up();
        for (uint32_t i = 0; i < node_count; ++i)
            for (size_t k = 0; k < std::size(motion); ++k)
                node_templates[i].*motion[k] = (k % 2 ? -1.0f : 1.0f) * (1 + i + 0.125f * k);
        light_vector = {7.0f, 80.0f, 9.0f};
        t.start();
        set_timer_routine(t.tick); // the floor's bounce moves only while it is installed
        random_state = 1;
        std::vector<SceneNode> want(node_templates, node_templates + node_count);
        float clock[std::size(clocks)];
        for (size_t k = 0; k < std::size(clocks); ++k) clock[k] = *clocks[k];
        t.tick();
        random_state = 1;
        t.model(want.data(), clock);
        for (uint32_t i = 0; i < node_count; ++i) {
            EXPECT_EQ(node_templates[i].object, want[i].object) << t.name << " node " << i;
            for (size_t k = 0; k < std::size(motion); ++k)
                EXPECT_FLOAT_EQ(node_templates[i].*motion[k], want[i].*motion[k])
                    << t.name << " node " << i << " field " << k;
        }
        for (size_t k = 0; k < std::size(clocks); ++k)
            EXPECT_FLOAT_EQ(*clocks[k], clock[k]) << t.name << " clock " << k;
    }
    set_timer_routine(nullptr);
}

TEST_F(Scenes, MotionFromTheStartsAndThePhaseEnds) {
    // The floor rises from 1200 at -10 a tick: -14 x 0.94 after the first tick.
    set_up_scene_3d_1();
    set_timer_routine(tick_bounce_in);
    tick_bounce_in();
    const float vy = static_cast<float>(-14.0 * 0.94);
    EXPECT_EQ(std::pair(node_templates[0].py, node_templates[0].vy), std::pair(1200.0f + vy, vy));
    set_timer_routine(nullptr);
    // Settled once |vy| <= 0.5 or |py| <= 0.1, gone once |py| >= 1600: rows py, vy, settled, gone.
    // clang-format off
    const float floor[][4] = {{5, 0.5f, 1, 0}, {0.11f, -0.51f, 0, 0}, {-0.1f, 9, 1, 0},
                              {-1600, 15, 0, 1}, {1599.9f, 15, 0, 0}};
    for (const auto& f : floor) {
        node_templates[0].py = f[0], node_templates[0].vy = f[1];
        EXPECT_EQ(std::pair(scene_3d_1_floor_settled(), scene_3d_1_floor_gone()),
                  std::pair(f[2] != 0, f[3] != 0)) << f[0];
    }
    // clang-format on
    // The plaque, from -250 at 1.0 a tick, is in place on the 250th.
    set_up_scene_3d_2();
    node_templates[0].px = -250.0f, node_templates[0].vx = 1.0f;
    for (int t = 1; t <= 250; ++t) {
        tick_scene_3d_2();
        EXPECT_EQ(scene_3d_2_slid_in(), t == 250) << t;
    }
}

TEST(SceneMeshes, OuterRingSectionZeroIsTheListedTube) {
    const int32_t listed[8][3] = {{0, 6, -171},  {0, 4, -167},  {0, 0, -166}, {0, -4, -167},
                                  {0, -6, -171}, {0, -4, -175}, {0, 0, -177}, {0, 4, -175}};
    const WideTable ring = ring_vertices(0);
    for (int j = 0; j < 8; ++j)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(ring.at(j, k), listed[j][k]) << j << "," << k;
}

TEST(RandomAndWideModels, SpecifiedValuesAndMalformedTables) {
    random_state = 1;
    for (int32_t value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464})
        EXPECT_EQ(random_draw(), value);

    // Coordinates divide truncating toward zero: 33 / 6 = 5, -47 / 6 = -7, -160 / 3 = -53.
    WideTable v, f;
    v.add(-160, 33, -47), v.add(0, 0, 0), v.add(0, 0, 0);
    f.add(0, 1, 2);
    model_vertex_total = model_face_total = 0;
    append_wide_object(0, v, f, 6, 1);
    EXPECT_EQ(model_vertices[0].y, 5.0f);
    EXPECT_EQ(model_vertices[0].z, -7.0f);
    append_wide_object(1, v, f, 3, 0);
    EXPECT_EQ(model_vertices[3].x, -53.0f);
    EXPECT_EQ(model_faces[0].texture, 1);
    EXPECT_EQ(objects[1].first_vertex, 3);
}
