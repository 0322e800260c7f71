// The three 3D scenes: their set-ups (objects, nodes, textures), their built-in meshes facing
// outwards, the tick routines' specified motion, the random draws and the wide model loader.
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
        free_texture_block();
    }
    // The sphere cluster: 582 vertices and 824 faces once instanced; node 1 the sphere.
    set_up_scene_3d_3();
    EXPECT_EQ(node_templates[1].rx, -1.570795f);
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

TEST_F(Scenes, TickRoutinesMoveAsSpecified) {
    // Plaque: slides in from -250 at 1.0 a tick; swings between z -700 and -100 over 360 ticks.
    set_up_scene_3d_2();
    node_templates[0].px = -250.0f;
    node_templates[0].vx = 1.0f;
    float near_z = -1000.0f, far_z = 0.0f;
    for (int t = 1; t <= 360; ++t) {
        tick_scene_3d_2();
        if (t <= 250) {
            EXPECT_EQ(scene_3d_2_slid_in(), t == 250) << t;
        }
        near_z = std::max(near_z, node_templates[0].pz);
        far_z = std::min(far_z, node_templates[0].pz);
    }
    EXPECT_NEAR(near_z, -100.0f, 0.01);
    EXPECT_NEAR(far_z, -700.0f, 0.01);
    free_texture_block();

    // Floor: the first tick rises by -14 x 0.94; it overshoots y = 0 and settles.
    random_state = 1;
    set_up_scene_3d_1();
    set_timer_routine(tick_bounce_in); // the bounce moves only while it is installed
    tick_bounce_in();
    EXPECT_EQ(node_templates[0].vy, static_cast<float>(-14.0 * 0.94));
    EXPECT_EQ(node_templates[1].px, 200.0f) << "the balls only ride along";
    bool overshot = false;
    for (int t = 0; t < 200 && !scene_3d_1_floor_settled(); ++t) {
        tick_bounce_in();
        overshot = overshot || node_templates[0].py < 0;
    }
    EXPECT_TRUE(overshot);
    EXPECT_LE(std::fabs(node_templates[0].vy), 0.5f);
    set_timer_routine(nullptr);
    free_texture_block();

    // Sphere: the first drift tick moves nothing and sets vy = 2 for both roots.
    set_up_scene_3d_3();
    tick_scene_3d_3_drift();
    EXPECT_EQ(node_templates[0].py, -30.0f);
    EXPECT_EQ(node_templates[1].vy, 2.0f);
    tick_scene_3d_3_drift();
    EXPECT_EQ(node_templates[0].py, -28.0f);
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
    random_state = 0xfffffff0u;
    for (int i = 0; i < 10000; ++i) ASSERT_LE(static_cast<uint32_t>(random_draw()), 32767u);

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
