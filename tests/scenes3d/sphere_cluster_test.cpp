#include <gtest/gtest.h>

#include <cmath>

#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/script.h"
#include "scene_fixture.h"
#include "scenes3d/sphere_cluster.h"
#include "shell/music.h"

using namespace vantrose;
using namespace vantrose::test;

namespace {

class SphereCluster : public ::testing::Test {
  protected:
    void SetUp() override {
        use_test_archive();
        map_v_from_y = 0;
        set_up_scene_3d_3();
    }
    void TearDown() override { free_texture_block(); }
};

constexpr float s = 0.01308995857834816f;
constexpr float s2 = 0.02617991715669632f;

} // namespace

TEST_F(SphereCluster, SetUpFillsObjectsOneToFourUpTo102VerticesAnd188Faces) {
    EXPECT_EQ(model_vertex_total, 102u);
    EXPECT_EQ(model_face_total, 188u);
    const int32_t counts[5][2] = {{0, 0}, {62, 120}, {26, 48}, {10, 16}, {4, 4}};
    const int32_t textures[5] = {0, 0, 1, 0, 1};
    int32_t first_vertex = 0, first_face = 0;
    for (int o = 1; o <= 4; ++o) {
        SCOPED_TRACE(o);
        EXPECT_EQ(objects[o].vertex_count, counts[o][0]);
        EXPECT_EQ(objects[o].face_count, counts[o][1]);
        EXPECT_EQ(objects[o].first_vertex, first_vertex);
        EXPECT_EQ(objects[o].first_face, first_face);
        EXPECT_EQ(model_faces[first_face].texture, textures[o]);
        EXPECT_EQ(model_faces[first_face + counts[o][1] - 1].texture, textures[o]);
        first_vertex += counts[o][0];
        first_face += counts[o][1];
    }
    EXPECT_EQ(map_v_from_y, 0); // left as the floor scene left it
    EXPECT_EQ(spin_ticks, 240.0f);
    EXPECT_EQ(scene_3d_3_angle, 0.0f);
}

TEST_F(SphereCluster, LeavesTheTextureAxisFlagAsItFindsIt) {
    free_texture_block();
    map_v_from_y = 1;
    set_up_scene_3d_3();
    EXPECT_EQ(map_v_from_y, 1);
    map_v_from_y = 0;
}

TEST_F(SphereCluster, LoadsItsTexturesAndPalettesFromTheirEntries) {
    EXPECT_EQ(texture_block[0], 50);
    EXPECT_EQ(texture_block[65536], 52);
    EXPECT_EQ(texture_palettes[0], 51);
    EXPECT_EQ(texture_palettes[768], 53);
}

TEST_F(SphereCluster, MeshCoordinatesAreDividedBySixTowardZero) {
    // Ball vertex 9 is raw (186, -5, 0); polyhedron vertex 0 is raw (1, -6, 72).
    const ModelVertex& b9 = model_vertices[objects[2].first_vertex + 9];
    EXPECT_EQ(b9.x, 31.0f);
    EXPECT_EQ(b9.y, 0.0f);
    const ModelVertex& p0 = model_vertices[objects[3].first_vertex];
    EXPECT_EQ(p0.x, 0.0f);
    EXPECT_EQ(p0.y, -1.0f);
    EXPECT_EQ(p0.z, 12.0f);
    const ModelVertex& t1 = model_vertices[objects[4].first_vertex + 1];
    EXPECT_EQ(t1.y, -8.0f); // -49 / 6
}

TEST(SphereClusterTables, SphereRingsFollowTheRule) {
    WideTable v = sphere_vertices();
    ASSERT_EQ(v.count(), 62);
    const int32_t first_ring[4][3] = {
        {134, -97, 286}, {164, -17, 286}, {151, 67, 286}, {97, 134, 286}};
    for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(v.at(1 + j, k), first_ring[j][k]) << j;
    EXPECT_EQ(v.at(0, 2), 330);
    EXPECT_EQ(v.at(61, 2), -330);
    // Every ring vertex lies within a raw unit of its ring radius.
    const double radius[5] = {165, 286, 330, 286, 165};
    for (int k = 0; k < 5; ++k)
        for (int j = 0; j < 12; ++j) {
            int i = 1 + 12 * k + j;
            EXPECT_NEAR(std::hypot(v.at(i, 0), v.at(i, 1)), radius[k], 1.0) << i;
        }
}

TEST(SphereClusterTables, SphereFacesCloseTheCaps) {
    WideTable f = sphere_faces();
    ASSERT_EQ(f.count(), 120);
    EXPECT_EQ(f.at(11, 1), 12);
    EXPECT_EQ(f.at(11, 2), 1);
    const int32_t bottom_first[3] = {61, 60, 59}, bottom_last[3] = {61, 49, 60};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.at(108, k), bottom_first[k]);
        EXPECT_EQ(f.at(119, k), bottom_last[k]);
    }
}

TEST(SphereClusterTables, EveryMeshFacesOutwards) {
    struct Mesh {
        WideTable v, f;
    };
    const Mesh meshes[4] = {{sphere_vertices(), sphere_faces()},
                            {cluster_ball_vertices(), cluster_ball_faces()},
                            {polyhedron_vertices(), polyhedron_faces()},
                            {tetrahedron_vertices(), tetrahedron_faces()}};
    for (int m = 0; m < 4; ++m) {
        const Mesh& mesh = meshes[m];
        Vec centre = vertex_centroid(mesh.v, 0, mesh.v.count());
        EXPECT_EQ(inward_faces(mesh.v, mesh.f, 0, mesh.f.count(), centre), 0) << m;
        EXPECT_GT(signed_volume(mesh.v, mesh.f, 0, mesh.f.count()), 0) << m;
    }
}

TEST_F(SphereCluster, NodeTemplatesBuildTheThreeLevelCluster) {
    EXPECT_EQ(node_count, 86u);
    EXPECT_EQ(root_count, 2u);
    const SceneNode& cluster = node_templates[0];
    EXPECT_EQ(cluster.object, NO_OBJECT);
    EXPECT_EQ(cluster.py, -30.0f);
    EXPECT_EQ(cluster.pz, -200.0f);
    EXPECT_EQ(cluster.wx, s);
    EXPECT_EQ(cluster.wy, s);
    EXPECT_EQ(cluster.wz, s);
    EXPECT_EQ(cluster.first_child, 2);
    const SceneNode& sphere = node_templates[1];
    EXPECT_EQ(sphere.object, 1);
    EXPECT_EQ(sphere.rx, -1.570795f);
    EXPECT_EQ(sphere.wz, -s);
    EXPECT_EQ(sphere.wy, -s);
    EXPECT_EQ(sphere.wx, s);
    EXPECT_EQ(sphere.first_child, 0);

    // The second ball sits off the pattern of the smaller levels.
    EXPECT_EQ(node_templates[3].py, 150.0f);
    EXPECT_EQ(node_templates[3].pz, 150.0f);
    EXPECT_EQ(node_templates[3].wz, s);
    EXPECT_EQ(node_templates[5].first_child, 18);
    // Polyhedron 6 + 4i + j and its tetrahedra.
    const SceneNode& poly = node_templates[6 + 4 * 2 + 3];
    EXPECT_EQ(poly.object, 3);
    EXPECT_EQ(poly.px, -50.0f);
    EXPECT_EQ(poly.wz, s);
    EXPECT_EQ(poly.wx, s);
    EXPECT_EQ(poly.first_child, 22 + 4 * 11);
    EXPECT_EQ(poly.child_count, 4);
    // The fourth tetrahedron turns about z at 2s but about x at s.
    const SceneNode& tetra = node_templates[85];
    EXPECT_EQ(tetra.object, 4);
    EXPECT_EQ(tetra.px, -20.0f);
    EXPECT_EQ(tetra.wz, s2);
    EXPECT_EQ(tetra.wx, s);
    EXPECT_EQ(tetra.first_child, 0);
    EXPECT_EQ(node_templates[22].wx, s2);
    EXPECT_EQ(node_templates[22].py, -28.0f);
}

TEST_F(SphereCluster, InstancedClusterHas582VerticesAnd824Faces) {
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertex_count, 582u);
    EXPECT_EQ(world_face_count, 824u);
}

TEST_F(SphereCluster, FirstDriftTickMovesNothingThenStartsTheDescent) {
    tick_scene_3d_3_drift();
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(node_templates[r].px, 0.0f);
        EXPECT_EQ(node_templates[r].py, -30.0f);
        EXPECT_EQ(node_templates[r].pz, -200.0f);
        EXPECT_EQ(node_templates[r].vx, 0.0f);
        EXPECT_EQ(node_templates[r].vy, 2.0f);
        EXPECT_EQ(node_templates[r].vz, 0.0f);
    }
    EXPECT_EQ(node_templates[0].rx, s);
    EXPECT_EQ(node_templates[85].rz, s2);
    EXPECT_EQ(scene_3d_3_angle, s);
    tick_scene_3d_3_drift();
    EXPECT_EQ(node_templates[0].py, -28.0f);
    EXPECT_EQ(node_templates[1].vx, static_cast<float>(std::sin(double(s))));
    EXPECT_EQ(node_templates[1].vz, static_cast<float>(3.0 * std::sin(double(s))));
}

TEST_F(SphereCluster, DescentEndsAtZeroAndTheHoverLoopsInPlace) {
    node_templates[0].py = node_templates[1].py = -400.0f;
    int ticks = 0;
    while (!scene_3d_3_descended()) {
        tick_scene_3d_3_drift();
        ASSERT_LT(++ticks, 1000);
    }
    EXPECT_GT(ticks, 350);
    EXPECT_EQ(node_templates[1].py, node_templates[0].py);

    // Whole turns of the hover angle leave the pair where it was.
    float start_angle = scene_3d_3_angle;
    tick_scene_3d_3_hover();
    float x0 = node_templates[0].px, y0 = node_templates[0].py, z0 = node_templates[0].pz;
    for (int t = 0; t < 480; ++t) tick_scene_3d_3_hover();
    EXPECT_NEAR(node_templates[0].px, x0, 0.05);
    EXPECT_NEAR(node_templates[0].py, y0, 0.05);
    EXPECT_NEAR(node_templates[0].pz, z0, 0.15);
    EXPECT_GT(scene_3d_3_angle, start_angle); // the angle runs on
    EXPECT_FALSE(scene_3d_3_gone());

    ticks = 0;
    while (!scene_3d_3_gone()) {
        tick_scene_3d_3_drift();
        ASSERT_LT(++ticks, 1000);
    }
    EXPECT_GE(node_templates[0].py, 500.0f);
}

TEST(SphereClusterPhases, HoverEndsFiveOrdersOn) {
    scene_start_order = 20;
    music_order = 24;
    EXPECT_FALSE(scene_3d_3_order_5());
    music_order = 25;
    EXPECT_TRUE(scene_3d_3_order_5());
}
