#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "engine3d/frame.h"
#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

void screen_triangle(ScreenPoint a, ScreenPoint b, ScreenPoint c) {
    screen_points[0] = a;
    screen_points[1] = b;
    screen_points[2] = c;
    world_vertex_count = 3;
}

} // namespace

using Culling = Engine3d;

TEST_F(Culling, WindingDecides) {
    screen_triangle({0, 0}, {10, 0}, {0, 10});
    world_faces[0] = {0, 1, 2, 0};
    world_faces[1] = {0, 2, 1, 1};
    world_face_count = 2;
    cull_back_faces();
    ASSERT_EQ(visible_face_count, 1u);
    EXPECT_EQ(visible_faces[0].b, 2);
    EXPECT_EQ(visible_faces[0].c, 1);
    EXPECT_EQ(visible_faces[0].texture, 1);
}

TEST_F(Culling, EdgeOnAndDegenerateFacesAreDropped) {
    screen_triangle({0, 0}, {5, 5}, {10, 10});
    world_faces[0] = {0, 1, 2, 0};
    world_faces[1] = {0, 2, 1, 0};
    world_faces[2] = {1, 1, 1, 0};
    world_face_count = 3;
    cull_back_faces();
    EXPECT_EQ(visible_face_count, 0u);
}

TEST_F(Culling, KeptFacesStayInPoolOrder) {
    screen_triangle({0, 0}, {10, 0}, {0, 10});
    for (int i = 0; i < 6; i++) world_faces[i] = {0, i % 2 ? 2 : 1, i % 2 ? 1 : 2, i};
    world_face_count = 6;
    cull_back_faces();
    ASSERT_EQ(visible_face_count, 3u);
    EXPECT_EQ(visible_faces[0].texture, 1);
    EXPECT_EQ(visible_faces[1].texture, 3);
    EXPECT_EQ(visible_faces[2].texture, 5);
}

TEST_F(Culling, RefusesBadIndicesAndTooManyFaces) {
    screen_triangle({0, 0}, {10, 0}, {0, 10});
    world_faces[0] = {0, 2, 3, 0};
    world_face_count = 1;
    EXPECT_THROW(cull_back_faces(), std::out_of_range);
    world_faces[0] = {0, -1, 1, 0};
    EXPECT_THROW(cull_back_faces(), std::out_of_range);

    for (uint32_t i = 0; i <= visible_face_capacity; i++) world_faces[i] = {0, 2, 1, 0};
    world_face_count = visible_face_capacity;
    cull_back_faces();
    EXPECT_EQ(visible_face_count, visible_face_capacity);
    world_face_count = visible_face_capacity + 1;
    EXPECT_THROW(cull_back_faces(), std::length_error);
}

using DepthSort = Engine3d;

TEST_F(DepthSort, KeysAreTheMeanDepth) {
    world_vertices[0].z = 1;
    world_vertices[1].z = 2;
    world_vertices[2].z = 4;
    world_vertex_count = 3;
    visible_faces[0] = {0, 1, 2, 0};
    visible_face_count = 1;
    compute_depth_keys();
    EXPECT_EQ(depth_keys[0], static_cast<float>(7.0 / 3.0));
    visible_faces[0].b = 3;
    EXPECT_THROW(compute_depth_keys(), std::out_of_range);
}

TEST_F(DepthSort, FarthestFirstAndEqualKeysInTheSchemesOrder) {
    const float keys[4] = {5, 9, 1, 9};
    for (int i = 0; i < 4; i++) {
        depth_keys[i] = keys[i];
        visible_faces[i] = {i, i, i, 0};
    }
    sort_faces(0, 3);
    EXPECT_EQ(depth_keys[0], 9.0f);
    EXPECT_EQ(depth_keys[1], 9.0f);
    EXPECT_EQ(depth_keys[2], 5.0f);
    EXPECT_EQ(depth_keys[3], 1.0f);
    // The two 9s end swapped: the later one is drawn first.
    EXPECT_EQ(visible_faces[0].a, 3);
    EXPECT_EQ(visible_faces[1].a, 1);
    EXPECT_EQ(visible_faces[2].a, 0);
    EXPECT_EQ(visible_faces[3].a, 2);
}

TEST_F(DepthSort, ManyKeysWithRepeatsAndNaN) {
    std::srand(7);
    const int n = static_cast<int>(visible_face_capacity);
    std::map<int, float> key_of;
    for (int i = 0; i < n; i++) {
        depth_keys[i] = static_cast<float>(std::rand() % 50) - 25.0f;
        visible_faces[i] = {i, 0, 0, 0};
        key_of[i] = depth_keys[i];
    }
    sort_faces(0, n - 1);
    for (int i = 0; i < n; i++) {
        if (i > 0) {
            EXPECT_GE(depth_keys[i - 1], depth_keys[i]);
        }
        EXPECT_EQ(key_of[visible_faces[i].a], depth_keys[i]); // faces travel with their keys
    }

    // A NaN key (a face at infinity) may land anywhere but must not send the scans astray.
    for (int i = 0; i < 64; i++) depth_keys[i] = (i % 5 == 0) ? NAN : static_cast<float>(i % 7);
    sort_faces(0, 63);
    sort_faces(10, 20);
}

TEST_F(DepthSort, NoneOrOneFaceSortsWithoutFailing) {
    depth_keys[0] = 4;
    visible_faces[0] = {1, 2, 3, 0};
    sort_faces(0, 0);
    EXPECT_EQ(depth_keys[0], 4.0f);
    EXPECT_EQ(visible_faces[0].a, 1);
    sort_faces(0, -1);
    EXPECT_THROW(sort_faces(0, static_cast<int32_t>(visible_face_capacity)), std::out_of_range);
    EXPECT_THROW(sort_faces(-1, 2), std::out_of_range);

    // Whole frames with no and with one visible face.
    const ModelVertex v[3] = {{0, 0, 0}, {0, 10, 0}, {10, 0, 0}};
    const Face f[1] = {{0, 1, 2, 0}};
    append_object(0, v, 3, f, 1);
    node_templates[0] = node(0);
    node_count = root_count = 1;
    render_frame_3d();
    EXPECT_EQ(visible_face_count, 1u);
    objects[0].face_count = 0;
    render_frame_3d();
    EXPECT_EQ(visible_face_count, 0u);
}
