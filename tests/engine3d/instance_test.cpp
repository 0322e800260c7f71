#include <cmath>
#include <stdexcept>
#include <vector>

#include "engine3d/frame.h"
#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

const float half_pi = static_cast<float>(3.14159 / 2);

// One object of the given vertices and no faces.
void points_object(uint32_t slot, std::vector<ModelVertex> v) {
    append_object(slot, v.data(), static_cast<int32_t>(v.size()), nullptr, 0);
}

} // namespace

using Instancing = Engine3d;

TEST_F(Instancing, IdentityRootLeavesModelCoordinates) {
    points_object(0, {{1.5f, -2.25f, 3.0f}, {-100.0f, 7.0f, 1e-3f}});
    node_templates[0] = node(0);
    node_count = root_count = 1;
    copy_node_templates();
    instance_scene();
    ASSERT_EQ(world_vertex_count, 2u);
    EXPECT_EQ(world_vertices[0].x, 1.5f);
    EXPECT_EQ(world_vertices[0].y, -2.25f);
    EXPECT_EQ(world_vertices[0].z, 3.0f);
    EXPECT_EQ(world_vertices[0].u, 1.5f);
    EXPECT_EQ(world_vertices[0].v, 3.0f);
    EXPECT_EQ(world_vertices[1].z, 1e-3f);

    map_v_from_y = 1;
    instance_scene();
    EXPECT_EQ(world_vertices[0].u, 1.5f);
    EXPECT_EQ(world_vertices[0].v, -2.25f);
    EXPECT_EQ(world_vertices[1].v, 7.0f);
}

TEST_F(Instancing, TextureCoordinatesIgnoreTheTransform) {
    points_object(0, {{10, 20, 30}});
    node_templates[0] = node(0, 5, 6, 7);
    node_templates[0].rz = 1.0f;
    node_count = root_count = 1;
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertices[0].u, 10.0f);
    EXPECT_EQ(world_vertices[0].v, 30.0f);
    EXPECT_NE(world_vertices[0].x, 10.0f);
}

TEST_F(Instancing, RotationsRunAboutXThenYThenZ) {
    // (0, 1, 0): about x by pi/2 gives (0, 0, -1), about y (1, 0, 0), about z (0, -1, 0).
    // Any other order ends elsewhere.
    world_vertices[0] = {0, 1, 0, 0, 0};
    rotate_vertices(0, 1, half_pi, half_pi, half_pi);
    EXPECT_NEAR(world_vertices[0].x, 0.0f, 1e-5);
    EXPECT_NEAR(world_vertices[0].y, -1.0f, 1e-5);
    EXPECT_NEAR(world_vertices[0].z, 0.0f, 1e-5);

    world_vertices[1] = {0, 1, 0, 0, 0};
    rotate_vertices(1, 2, 0, 0, half_pi);
    EXPECT_NEAR(world_vertices[1].z, -1.0f, 1e-5);
    world_vertices[1] = {1, 0, 0, 0, 0};
    rotate_vertices(1, 2, 0, half_pi, 0);
    EXPECT_NEAR(world_vertices[1].z, 1.0f, 1e-5);
    // The range is half-open: vertex 2 stays.
    world_vertices[2] = {3, 4, 5, 0, 0};
    rotate_vertices(1, 2, 1, 1, 1);
    EXPECT_EQ(world_vertices[2].x, 3.0f);
}

TEST_F(Instancing, ChildLandsInItsParentsFrame) {
    points_object(0, {{0, 0, 0}});
    node_templates[0] = node(NO_OBJECT, 100, 50, 0, 1, 1);
    node_templates[0].rz = half_pi;
    node_templates[1] = node(0, 10, 0, 0);
    node_count = 2;
    root_count = 1;
    copy_node_templates();
    instance_scene();
    ASSERT_EQ(world_vertex_count, 1u);
    EXPECT_NEAR(world_vertices[0].x - 100.0f, 0.0f, 1e-4);
    EXPECT_NEAR(world_vertices[0].y - 50.0f, -10.0f, 1e-4);
}

TEST_F(Instancing, ChildrenComeBeforeTheirParentsObject) {
    points_object(0, {{1, 0, 0}});
    points_object(1, {{2, 0, 0}, {2, 0, 0}});
    const Face f[1] = {{0, 1, 0, 1}};
    append_object(2, std::vector<ModelVertex>{{3, 0, 0}, {3, 0, 0}}.data(), 2, f, 1);
    node_templates[0] = node(2, 0, 0, 0, 1, 2);
    node_templates[1] = node(0);
    node_templates[2] = node(1);
    node_count = 3;
    root_count = 1;
    copy_node_templates();
    instance_scene();
    ASSERT_EQ(world_vertex_count, 5u);
    EXPECT_EQ(world_vertices[0].x, 1.0f);
    EXPECT_EQ(world_vertices[1].x, 2.0f);
    EXPECT_EQ(world_vertices[3].x, 3.0f);
    ASSERT_EQ(world_face_count, 1u);
    EXPECT_EQ(world_faces[0].a, 3); // renumbered from the parent's base
    EXPECT_EQ(world_faces[0].b, 4);
    EXPECT_EQ(world_faces[0].texture, 1);
}

TEST_F(Instancing, NodeWithoutObjectStillMovesItsChildren) {
    points_object(0, {{0, 0, 0}});
    node_templates[0] = node(NO_OBJECT, 7, 8, 9, 1, 1);
    node_templates[1] = node(0, 1, 0, 0);
    node_count = 2;
    root_count = 1;
    copy_node_templates();
    instance_scene();
    ASSERT_EQ(world_vertex_count, 1u);
    EXPECT_EQ(world_vertices[0].x, 8.0f);
    EXPECT_EQ(world_vertices[0].z, 9.0f);
}

TEST_F(Instancing, FirstChildZeroMeansNoChildren) {
    points_object(0, {{0, 0, 0}});
    node_templates[0] = node(0, 0, 0, 0, 0, 5);
    node_count = 1;
    root_count = 1;
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertex_count, 1u);
}

TEST_F(Instancing, NoRootsMeansEmptyPoolsAndABlackFrame) {
    points_object(0, {{0, 0, 0}});
    node_templates[0] = node(0);
    node_count = 1;
    root_count = 0;
    world_vertex_count = 9;
    render_frame_3d();
    EXPECT_EQ(world_vertex_count, 0u);
    EXPECT_EQ(world_face_count, 0u);
    EXPECT_EQ(visible_face_count, 0u);
    for (int row = 0; row < 400; row += 7) EXPECT_EQ(at(row, row % 320), 0);
    EXPECT_EQ(at(400, 0), test3d::untouched);
}

TEST_F(Instancing, TemplatesAreCopiedWhole) {
    node_templates[1] = node(3, 1, 2, 3, 4, 5);
    node_templates[1].wx = 0.25f;
    node_templates[2].px = 99;
    node_count = 2;
    copy_node_templates();
    EXPECT_EQ(nodes[1].wx, 0.25f);
    EXPECT_EQ(nodes[1].child_count, 5);
    EXPECT_EQ(nodes[2].px, 0.0f); // past node_count
}

using Projection = Engine3d;

TEST_F(Projection, LinearDepthScale) {
    world_vertices[0] = {123, -45, 1000, 0, 0};
    world_vertices[1] = {100, 0, 0, 0, 0};
    world_vertices[2] = {0, 100, 0, 0, 0};
    world_vertices[3] = {10, 0, -1300, 0, 0};
    world_vertices[4] = {0, 0, 0, 0, 0};
    world_vertex_count = 5;
    project_vertices();
    EXPECT_EQ(screen_points[0].sx, 160.0f);
    EXPECT_EQ(screen_points[0].sy, 66.0f);
    EXPECT_EQ(screen_points[1].sx, 260.0f);
    EXPECT_EQ(screen_points[1].sy, 66.0f);
    EXPECT_EQ(screen_points[2].sx, 160.0f);
    EXPECT_EQ(screen_points[2].sy, 120.5f);
    EXPECT_FLOAT_EQ(screen_points[3].sx, 183.0f); // scale 2.3
    EXPECT_EQ(screen_points[4].sx, 160.0f);
}

using InstancingGuards = Engine3d;

TEST_F(InstancingGuards, WorldPoolsRefuseOverflow) {
    std::vector<ModelVertex> v(1000, ModelVertex{0, 0, 0});
    append_object(0, v.data(), 1000, nullptr, 0);
    node_templates[0] = node(NO_OBJECT, 0, 0, 0, 1, 4);
    for (int k = 1; k <= 4; k++) node_templates[k] = node(0);
    node_count = 5;
    root_count = 1;
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);
    EXPECT_LE(world_vertex_count, world_vertex_capacity);

    node_templates[0].child_count = 3; // exactly 3000 vertices fit
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertex_count, 3000u);
}

TEST_F(InstancingGuards, WorldFacePoolRefusesOverflow) {
    std::vector<Face> f(2500, Face{0, 0, 0, 0});
    const ModelVertex v[1] = {{0, 0, 0}};
    append_object(0, v, 1, f.data(), 2500);
    node_templates[0] = node(NO_OBJECT, 0, 0, 0, 1, 3);
    for (int k = 1; k <= 3; k++) node_templates[k] = node(0);
    node_count = 4;
    root_count = 1;
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);
    EXPECT_EQ(world_face_count, 5000u);
}

TEST_F(InstancingGuards, BadTreesAreRefused) {
    points_object(0, {{0, 0, 0}});
    node_count = 3;
    root_count = 1;

    // A cycle: node 1 is its own child.
    node_templates[0] = node(NO_OBJECT, 0, 0, 0, 1, 1);
    node_templates[1] = node(0, 0, 0, 0, 1, 1);
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);

    // Children past node_count.
    node_templates[1] = node(0, 0, 0, 0, 2, 2);
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);
    node_templates[1] = node(0, 0, 0, 0, -1, 1);
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);

    // An object past the table.
    node_templates[1] = node(6);
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);
    node_templates[1] = node(-2);
    copy_node_templates();
    EXPECT_THROW(instance_scene(), std::length_error);

    // Counts past the node pool.
    node_count = node_capacity + 1;
    EXPECT_THROW(copy_node_templates(), std::length_error);
    node_count = 2;
    root_count = 3;
    EXPECT_THROW(instance_scene(), std::length_error);

    // A sound tree still instances after all that.
    root_count = 1;
    node_templates[1] = node(0);
    copy_node_templates();
    instance_scene();
    EXPECT_EQ(world_vertex_count, 1u);
}

TEST_F(InstancingGuards, ObjectRecordsOutsideThePoolsAreRefused) {
    node_templates[0] = node(0);
    node_count = root_count = 1;
    copy_node_templates();
    objects[0] = {10, 0, 2995, 0};
    EXPECT_THROW(instance_scene(), std::length_error);
    objects[0] = {1, 1, 0, 2999};
    model_faces[2999] = {0, 1, 0, 0}; // vertex 1 of a one-vertex object
    EXPECT_THROW(instance_scene(), std::length_error);
    model_faces[2999] = {0, 0, 0, 3};
    EXPECT_THROW(instance_scene(), std::length_error);
    model_faces[2999] = {0, 0, 0, 1};
    instance_scene();
    EXPECT_EQ(world_face_count, 1u);
}

TEST_F(InstancingGuards, DeepButFiniteTreeInstances) {
    // A chain through all 86 nodes is the deepest sound tree.
    points_object(0, {{1, 0, 0}});
    for (uint32_t k = 0; k < node_capacity; k++)
        node_templates[k] =
            node(0, 1, 0, 0, k + 1 < node_capacity ? static_cast<int32_t>(k + 1) : 0, 1);
    node_count = node_capacity;
    root_count = 1;
    copy_node_templates();
    instance_scene();
    ASSERT_EQ(world_vertex_count, node_capacity);
    EXPECT_EQ(world_vertices[0].x, 1.0f + node_capacity); // the deepest, moved by every level
    EXPECT_EQ(world_vertices[node_capacity - 1].x, 2.0f);
}
