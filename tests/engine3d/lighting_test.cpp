#include <cmath>
#include <stdexcept>

#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

// Texture 0 holds its column at every texel, texture 1 its row; with the probe shade table a
// pixel's red byte is then s (texture 0) or t (texture 1) and its green byte the brightness.
class Lighting : public Engine3d {
  protected:
    void SetUp() override {
        Engine3d::SetUp();
        probe_shade_table();
        for (int t = 0; t < 256; t++)
            for (int s = 0; s < 256; s++) {
                texture_block[256 * t + s] = static_cast<uint8_t>(s);
                texture_block[65536 + 256 * t + s] = static_cast<uint8_t>(t);
            }
    }

    // One visible face with the given screen corners; world corners flat at depth z.
    static void face(ScreenPoint a, ScreenPoint b, ScreenPoint c, float z = 0, float u = 0,
                     float v = 0, int32_t texture = 0) {
        const ScreenPoint p[3] = {a, b, c};
        for (int i = 0; i < 3; i++) {
            screen_points[i] = p[i];
            world_vertices[i] = {p[i].sx, p[i].sy, z, u, v};
        }
        world_vertex_count = 3;
        visible_faces[0] = {0, 1, 2, texture};
        visible_face_count = 1;
    }

    // Physical row of the red byte of logical row r is 3r, the green byte's 3r + 2.
    uint8_t red(int r, int x) const { return at(3 * r, x); }
    uint8_t brightness(int r, int x) const { return at(3 * r + 2, x); }
};

} // namespace

TEST(FaceNormal, YComponentIsNegated) {
    // d1 = (-1, 0, 0), d2 = (0, 0, -1): d1 x d2 = (0, -1, 0), the normal has +1.
    world_vertices[0] = {0, 0, 0, 0, 0};
    world_vertices[1] = {1, 0, 0, 0, 0};
    world_vertices[2] = {0, 0, 1, 0, 0};
    visible_faces[0] = {0, 1, 2, 0};
    float nx, ny, nz;
    face_normal(0, &nx, &ny, &nz);
    EXPECT_EQ(nx, 0.0f);
    EXPECT_EQ(ny, 1.0f);
    EXPECT_EQ(nz, 0.0f);
    world_vertices[2] = {0, 1, 0, 0, 0};
    face_normal(0, &nx, &ny, &nz);
    EXPECT_EQ(nz, 1.0f);
}

TEST_F(Lighting, BrightnessIsLinearInTheAngleToTheLight) {
    // Normal (0, 1, -1) against the light (0, 80, -80).
    face({100, 20}, {100, 60}, {140, 20});
    world_vertices[0] = {0, 0, 0, 0, 0};
    world_vertices[1] = {0, 100, -100, 0, 0};
    world_vertices[2] = {100, 0, 0, 0, 0};
    draw_faces();
    const float full = static_cast<float>(3.1415927 * 81.0);
    for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(vertex_lights[i].intensity, full);
    EXPECT_NEAR(full, 254.47f, 0.005f);
    EXPECT_EQ(brightness(30, 110), 254);

    // At right angles to the light: 127.23.
    light_vector = {80, 0, 0};
    draw_faces();
    EXPECT_NEAR(vertex_lights[0].intensity, 127.23f, 0.01f);
    EXPECT_EQ(brightness(30, 110), 127);

    // Pointing away: 0.
    light_vector = {0, -80, 80};
    draw_faces();
    EXPECT_LT(vertex_lights[0].intensity, 1e-4f);
    EXPECT_EQ(brightness(30, 110), 0);
}

TEST_F(Lighting, ZeroNormalGivesZero) {
    face({100, 20}, {100, 60}, {140, 20});
    world_vertices[1] = world_vertices[0]; // degenerate in world space, not on screen
    draw_faces();
    EXPECT_LT(vertex_lights[0].intensity, 1e-4f);
    EXPECT_EQ(brightness(30, 110), 0);
}

TEST_F(Lighting, IntensityPassRunsUpToTheHighestCornerOnly) {
    vertex_lights[0].intensity = 99;
    vertex_lights[1].intensity = 99;
    visible_face_count = 0;
    draw_faces();
    EXPECT_LT(vertex_lights[0].intensity, 1e-4f); // vertex 0 always: its normal is zero
    EXPECT_EQ(vertex_lights[1].intensity, 99.0f);
}

TEST_F(Lighting, OffRasterFacesAreSkipped) {
    face({-5, 10}, {-5, 20}, {-5.9f, 15});
    draw_faces();
    for (int x = 0; x < 10; x++) EXPECT_EQ(red(15, x), test3d::untouched);
    EXPECT_EQ(vertex_lights[0].nx, 0.0f); // no normal either
    EXPECT_EQ(vertex_lights[0].ny, 0.0f);

    face({-5, 10}, {-5, 20}, {3, 15});
    draw_faces();
    EXPECT_NE(red(15, 0), test3d::untouched);
    EXPECT_NE(red(15, 2), test3d::untouched);
    EXPECT_EQ(red(15, 4), test3d::untouched);

    // -0.5 truncates to column 0, on the raster.
    face({-0.5f, 10}, {-0.5f, 20}, {-0.9f, 15});
    draw_faces();
    EXPECT_NE(red(15, 0), test3d::untouched);
}

TEST_F(Lighting, OtherRasterBoundsSkipToo) {
    face({10, -3}, {20, -2}, {15, -1.5f});
    draw_faces();
    face({330, 10}, {320, 20}, {400, 15});
    draw_faces();
    face({10, 200}, {20, 250}, {15, 210});
    draw_faces();
    // Rows 133..199 pass the face test but are never drawn.
    face({10, 140}, {20, 199}, {15, 150});
    draw_faces();
    for (size_t i = 0; i < screen.size(); i++) ASSERT_EQ(screen[i], test3d::untouched) << i;
}

TEST_F(Lighting, FacesTooCloseToTheViewerAreSkipped) {
    face({10, 10}, {10, 30}, {30, 10}, -1400);
    draw_faces();
    EXPECT_EQ(red(15, 12), test3d::untouched);
    world_vertices[2].z = -1200;
    draw_faces();
    EXPECT_NE(red(15, 12), test3d::untouched);
}

TEST_F(Lighting, TextureCoordinatesWrapAroundTheCentre) {
    face({10, 10}, {10, 30}, {30, 10}, 0, -129.5f, 0);
    draw_faces();
    EXPECT_EQ(red(15, 12), 255); // trunc(-1.5) = -1 -> 255
    face({10, 10}, {10, 30}, {30, 10}, 0, 0, -129.5f, 1);
    draw_faces();
    EXPECT_EQ(red(15, 12), 255);
    face({10, 10}, {10, 30}, {30, 10}, 0, 128.0f, 0);
    draw_faces();
    EXPECT_EQ(red(15, 12), 0); // 256 wraps to 0
    face({10, 10}, {10, 30}, {30, 10}, 0, 0, 0);
    draw_faces();
    EXPECT_EQ(red(15, 12), 128); // model 0 is the texture's centre
}

TEST_F(Lighting, TallestEdgeFillsTableA) {
    // A = (10, 10), B = (50, 30), C = (20, 60): C -> A is the tallest edge.
    face({10, 10}, {50, 30}, {20, 60});
    draw_faces();
    EXPECT_EQ(edge_table_a[10].x, 10);
    EXPECT_EQ(edge_table_a[60].x, 20);
    EXPECT_EQ(edge_table_a[35].x, 15);
    EXPECT_EQ(edge_table_b[30].x, 50);
    EXPECT_EQ(edge_table_a[61].x, -30000);
}

TEST_F(Lighting, WildCornersAreSkippedWithoutHarm) {
    face({10, 10}, {10, 30}, {1e30f, 10});
    draw_faces();
    face({10, 10}, {10, 30}, {NAN, 10});
    draw_faces();
    face({10, 10}, {10, 30}, {-INFINITY, 10});
    draw_faces();
    face({10, 10}, {10, 30}, {30, 3e9f});
    draw_faces();
    for (size_t i = 0; i < screen.size(); i++) ASSERT_EQ(screen[i], test3d::untouched) << i;

    // Far but sane corners are drawn and clipped.
    face({10, 10}, {10, 30}, {-1e6f, 20});
    draw_faces();
    EXPECT_NE(red(20, 5), test3d::untouched);
}

TEST_F(Lighting, RefusesFacesNamingMissingVertices) {
    face({10, 10}, {10, 30}, {30, 10});
    visible_faces[0].c = 3;
    EXPECT_THROW(draw_faces(), std::out_of_range);
}
