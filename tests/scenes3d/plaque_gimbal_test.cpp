#include <gtest/gtest.h>

#include <cmath>

#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "scene_fixture.h"
#include "scenes3d/plaque_gimbal.h"

using namespace vantrose;
using namespace vantrose::test;

namespace {

class PlaqueGimbal : public ::testing::Test {
  protected:
    void SetUp() override {
        use_test_archive();
        set_up_scene_3d_2();
    }
    void TearDown() override { free_texture_block(); }
};

} // namespace

TEST_F(PlaqueGimbal, SetUpFillsFiveObjectsUpTo472VerticesAnd916Faces) {
    EXPECT_EQ(model_vertex_total, 472u);
    EXPECT_EQ(model_face_total, 916u);
    const int32_t counts[5][2] = {{24, 44}, {32, 56}, {144, 280}, {144, 280}, {128, 256}};
    const int32_t textures[5] = {0, 1, 1, 1, 1};
    expect_objects_in_order(counts, textures, 0, 5);
    EXPECT_EQ(map_v_from_y, 1);
    EXPECT_EQ(scene_3d_2_angle, 0.0f);
}

TEST_F(PlaqueGimbal, LoadsItsTexturesAndPalettesFromTheirEntries) {
    EXPECT_EQ(texture_block[0], 47);
    EXPECT_EQ(texture_block[65535], 47);
    EXPECT_EQ(texture_block[65536], 45);
    EXPECT_EQ(texture_block[131071], 45);
    EXPECT_EQ(texture_palettes[0], 48);
    EXPECT_EQ(texture_palettes[767], 48);
    EXPECT_EQ(texture_palettes[768], 46);
    EXPECT_EQ(texture_palettes[1535], 46);
}

TEST_F(PlaqueGimbal, PlaqueLoadsAt202By106By8Units) {
    // Raw -160 loads as -53.0, raw 5 as 1.0.
    EXPECT_EQ(model_vertices[0].y, -53.0f);
    EXPECT_EQ(model_vertices[8].z, 1.0f);
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (int i = 0; i < 24; ++i) {
        const float c[3] = {model_vertices[i].x, model_vertices[i].y, model_vertices[i].z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    EXPECT_EQ(hi[0] - lo[0], 202.0f);
    EXPECT_EQ(hi[1] - lo[1], 106.0f);
    EXPECT_EQ(hi[2] - lo[2], 8.0f);
}

TEST(PlaqueGimbalTables, OuterRingSectionZeroMatchesTheBuiltInTable) {
    const int32_t listed[8][3] = {{0, 6, -171},  {0, 4, -167},  {0, 0, -166}, {0, -4, -167},
                                  {0, -6, -171}, {0, -4, -175}, {0, 0, -177}, {0, 4, -175}};
    WideTable ring = ring_vertices(0);
    for (int j = 0; j < 8; ++j)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(ring.at(j, k), listed[j][k]) << j << "," << k;
}

TEST(PlaqueGimbalTables, RingSectionsSitOnTheAxesEveryQuarterTurn) {
    for (int r = 0; r < 3; ++r) {
        WideTable ring = ring_vertices(r);
        const int32_t radius[3] = {171, 145, 119};
        for (int j = 0; j < 8; ++j) {
            // Section 4 on +x, 8 on +z, 12 on -x; the top point of each lies on the ring radius.
            EXPECT_EQ(ring.at(32 + j, 2), 0);
            EXPECT_EQ(ring.at(64 + j, 0), 0);
            EXPECT_EQ(ring.at(96 + j, 2), 0);
        }
        EXPECT_EQ(ring.at(32, 0), radius[r]);
        EXPECT_EQ(ring.at(64, 2), radius[r]);
        EXPECT_EQ(ring.at(96, 0), -radius[r]);
        // Section 1 at 26 degrees from -z towards +x.
        double angle = std::atan2(ring.at(8, 0), -ring.at(8, 2)) * 180.0 / 3.14159;
        EXPECT_NEAR(angle, 26.0, 0.5);
        angle = std::atan2(ring.at(24, 0), -ring.at(24, 2)) * 180.0 / 3.14159;
        EXPECT_NEAR(angle, 76.8, 0.5);
    }
}

TEST(PlaqueGimbalTables, EveryConvexPieceFacesOutwards) {
    WideTable pv = plaque_vertices(), pf = plaque_faces();
    ASSERT_EQ(pf.count(), 44);
    EXPECT_EQ(inward_faces(pv, pf, 0, 44, vertex_centroid(pv, 0, 24)), 0);

    for (int r = 0; r < 2; ++r) {
        WideTable v = ring_vertices(r), f = ring_faces(r);
        ASSERT_EQ(v.count(), 144);
        ASSERT_EQ(f.count(), 280);
        EXPECT_EQ(inward_faces(v, f, 256, 268, vertex_centroid(v, 128, 136)), 0) << r;
        EXPECT_EQ(inward_faces(v, f, 268, 280, vertex_centroid(v, 136, 144)), 0) << r;
    }
}

TEST(PlaqueGimbalTables, RingTubesFaceAwayFromTheirCentreCircle) {
    const double radius[3] = {171, 145, 119};
    for (int r = 0; r < 3; ++r) {
        WideTable v = ring_vertices(r), f = ring_faces(r);
        int inward = 0;
        for (int32_t k = 0; k < 256; ++k) {
            Vec c = face_centre(v, f, k);
            double len = std::hypot(c.x, c.z);
            Vec axis{radius[r] * c.x / len, 0, radius[r] * c.z / len};
            if (dot(outward_normal(v, f, k), c - axis) <= 0) ++inward;
        }
        EXPECT_EQ(inward, 0) << r;
    }
}

TEST(PlaqueGimbalTables, MirroredLegFacesKeepFacingOutwards) {
    WideTable v = legs_vertices(), f = legs_faces();
    ASSERT_EQ(v.count(), 32);
    ASSERT_EQ(f.count(), 56);
    EXPECT_GT(signed_volume(v, f, 0, 28), 0);
    EXPECT_GT(signed_volume(v, f, 28, 56), 0);
    EXPECT_DOUBLE_EQ(signed_volume(v, f, 0, 28), signed_volume(v, f, 28, 56));
    // The second bar is the first mirrored in x, with the corners of each face reversed.
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(v.at(16 + i, 0), -v.at(i, 0));
        EXPECT_EQ(v.at(16 + i, 1), v.at(i, 1));
        EXPECT_EQ(v.at(16 + i, 2), v.at(i, 2));
    }
    EXPECT_EQ(f.at(28, 0), 16 + f.at(0, 2));
    EXPECT_EQ(f.at(28, 2), 16 + f.at(0, 0));
    EXPECT_EQ(v.at(8, 1), 9); // top outline
}

TEST_F(PlaqueGimbal, NodeTemplatesPlaceThePlaqueLegsAndRings) {
    EXPECT_EQ(node_count, 5u);
    EXPECT_EQ(root_count, 1u);
    const SceneNode& root = node_templates[0];
    EXPECT_EQ(root.object, 0);
    EXPECT_EQ(root.py, 80.0f);
    EXPECT_EQ(root.pz, -400.0f);
    EXPECT_EQ(root.rx, -1.570795f);
    EXPECT_EQ(root.first_child, 1);
    EXPECT_EQ(root.child_count, 2);
    EXPECT_EQ(node_templates[2].pz, 75.0f);
    EXPECT_EQ(node_templates[2].first_child, 3);
    EXPECT_EQ(node_templates[3].first_child, 4);
    EXPECT_EQ(node_templates[4].first_child, 0);
}

TEST_F(PlaqueGimbal, TheLegsNodeDrawsOnlyTheLegs) {
    EXPECT_EQ(node_templates[1].child_count, 10);
    EXPECT_EQ(node_templates[1].first_child, 0);
    copy_node_templates();
    world_vertex_count = world_face_count = 0;
    instance_node(nodes[1]);
    EXPECT_EQ(world_vertex_count, 32u);
    EXPECT_EQ(world_face_count, 56u);

    instance_scene();
    EXPECT_EQ(world_vertex_count, 472u);
    EXPECT_EQ(world_face_count, 916u);
}

TEST_F(PlaqueGimbal, FirstTickSwingsTheModelForwardAndStartsTheRings) {
    tick_scene_3d_2();
    float a = static_cast<float>(3.14159 / 180.0);
    EXPECT_EQ(scene_3d_2_angle, a);
    EXPECT_NEAR(node_templates[0].pz, -394.76, 0.005);
    EXPECT_EQ(node_templates[0].pz, static_cast<float>(std::sin(double(a)) * 300.0 - 400.0));
    float speed = static_cast<float>(std::cos(double(a)) / 32.0);
    EXPECT_EQ(node_templates[2].wx, speed);
    EXPECT_EQ(node_templates[3].wz, speed);
    EXPECT_EQ(node_templates[4].wx, static_cast<float>(std::sin(double(a)) / 32.0));
    EXPECT_EQ(node_templates[0].wy, 0.008726638741791248f);
    // Angular speeds set by a tick move the rings on the next one.
    EXPECT_EQ(node_templates[2].rx, 0.0f);
    tick_scene_3d_2();
    EXPECT_EQ(node_templates[2].rx, speed);
    EXPECT_EQ(node_templates[0].ry, 0.008726638741791248f);
}

TEST_F(PlaqueGimbal, SwingsBetween700And100AwayOver360Ticks) {
    float near_z = -1000.0f, far_z = 0.0f;
    for (int t = 0; t < 360; ++t) {
        tick_scene_3d_2();
        near_z = std::max(near_z, node_templates[0].pz);
        far_z = std::min(far_z, node_templates[0].pz);
    }
    EXPECT_NEAR(near_z, -100.0f, 0.01);
    EXPECT_NEAR(far_z, -700.0f, 0.01);
    EXPECT_NEAR(node_templates[0].pz, -400.0f, 0.1);
}

TEST_F(PlaqueGimbal, SlidesInFromTheLeftInto250Ticks) {
    node_templates[0].px = -250.0f;
    node_templates[0].vx = 1.0f;
    for (int t = 1; t < 250; ++t) {
        tick_scene_3d_2();
        ASSERT_FALSE(scene_3d_2_slid_in()) << t;
    }
    tick_scene_3d_2();
    EXPECT_TRUE(scene_3d_2_slid_in());
    EXPECT_EQ(node_templates[0].px, 0.0f);
}
