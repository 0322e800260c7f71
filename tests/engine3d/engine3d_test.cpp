// The 3D engine's specified values and edge cases: shade table, culling, the sort's order,
// refusals, and the frame loop of a phase.
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "engine3d/frame.h"
#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

std::array<int, 3> shade(int colour, int brightness) {
    const uint8_t* e = &shade_table[3 * (256 * colour + brightness)];
    return {e[0], e[1], e[2]};
}

} // namespace

TEST(ShadeTable, RampAndEntriesTurnTowardsWhiteAtTheHighlight) {
    std::memset(texture_palettes, 0, sizeof texture_palettes);
    std::memcpy(&texture_palettes[3 * 5], "\x3f\x3f\x3f", 3);
    std::memcpy(&texture_palettes[3 * (256 + 9)], "\x3f\x00\x00", 3);
    std::memcpy(&texture_palettes[3 * 300], "\x11\x28\x02", 3);
    build_intensity_ramp();
    build_shade_table();
    for (const auto& [j, r] :
         {std::pair{50, 9}, {100, 19}, {128, 26}, {200, 46}, {229, 55}, {255, 63}})
        EXPECT_EQ(intensity_ramp[3 * j + 1], r) << j;
    const struct {
        int colour, brightness;
        std::array<int, 3> entry;
    } cases[] = {{5, 0, {0, 64, 128}},      {300, 0, {0, 64, 128}},    {5, 100, {18, 82, 146}},
                 {5, 200, {45, 109, 173}},  {5, 229, {54, 118, 182}},  {5, 240, {59, 123, 187}},
                 {5, 248, {62, 126, 190}},  {5, 249, {63, 127, 191}},  {5, 255, {63, 127, 191}},
                 {265, 229, {54, 64, 128}}, {265, 240, {59, 91, 155}}, {265, 249, {63, 127, 191}},
                 {300, 128, {6, 80, 128}}};
    for (const auto& c : cases)
        EXPECT_EQ(shade(c.colour, c.brightness), c.entry) << c.colour << " at " << c.brightness;
}

// Rotation and projection show in whole frames (render_test); here the faces no pose makes.
TEST_F(Engine3d, CullingKeepsOrderAndDropsEdgeOnAndDegenerateFaces) {
    // The winding decides; edge-on and degenerate faces go with the back faces; order is kept.
    screen_points[0] = {0, 0}, screen_points[1] = {10, 0}, screen_points[2] = {0, 10},
    screen_points[3] = {5, 5};
    const Face faces[] = {{0, 1, 2, 0}, {0, 2, 1, 1}, {1, 3, 2, 2}, {1, 1, 1, 3}, {0, 2, 1, 4}};
    std::copy(std::begin(faces), std::end(faces), world_faces);
    world_face_count = 5, world_vertex_count = 4;
    cull_back_faces();
    ASSERT_EQ(visible_face_count, 2u);
    EXPECT_EQ(visible_faces[0].texture, 1);
    EXPECT_EQ(visible_faces[1].texture, 4);
}

TEST_F(Engine3d, SortPutsTheFarthestFirstAndSurvivesNaN) {
    const float keys[4] = {5, 9, 1, 9};
    for (int i = 0; i < 4; i++) depth_keys[i] = keys[i], visible_faces[i] = {i, i, i, 0};
    sort_faces(0, 3);
    // The two 9s end swapped: the later one is drawn first.
    const int order[4] = {3, 1, 0, 2};
    for (int i = 0; i < 4; i++) EXPECT_EQ(visible_faces[i].a, order[i]) << i;
    // A NaN key (a face at infinity) may land anywhere but must not send the scans astray.
    for (int i = 0; i < 64; i++) depth_keys[i] = (i % 5 == 0) ? NAN : static_cast<float>(i % 7);
    sort_faces(0, 63);
    sort_faces(0, -1);
}

TEST_F(Engine3d, RefusesWhatWouldOverrunItsPools) {
    // One per kind: a model pool, a world pool, a face naming a missing vertex, a bad tree.
    std::vector<ModelVertex> v(model_vertex_capacity + 1, ModelVertex{0, 0, 0});
    EXPECT_THROW(append_object(0, v.data(), int32_t(v.size()), nullptr, 0), std::length_error);
    append_object(0, v.data(), 1000, nullptr, 0);
    node_templates[0] = node(NO_OBJECT, 0, 0, 0, 1, 4);
    for (int k = 1; k <= 4; k++) node_templates[k] = node(0);
    node_count = 5, root_count = 1;
    EXPECT_THROW(render_frame_3d(), std::length_error);
    world_vertex_count = 3;
    world_faces[0] = {0, 2, 3, 0};
    world_face_count = 1;
    EXPECT_THROW(cull_back_faces(), std::out_of_range);
    node_templates[0] = node(0, 0, 0, 0, 0, 1);
    node_templates[0].first_child = 7;
    node_count = 1;
    EXPECT_ANY_THROW(render_frame_3d());
}

TEST_F(Engine3d, FramesSeeTheTicksOfAnotherThreadWhole) {
    const ModelVertex v[3] = {{0, 0, 0}, {0, 40, 0}, {40, 0, 0}};
    const Face f[1] = {{0, 1, 2, 0}};
    append_object(0, v, 3, f, 1);
    node_templates[0] = node(0);
    node_count = root_count = 1;
    std::atomic<bool> stop{false};
    // A tick that keeps px and py equal, under the lock as ticks do (tsan checks the rest).
    std::thread ticker([&] {
        while (!stop.load()) {
            std::lock_guard<std::mutex> lock(node_mutex);
            node_templates[0].px += 1;
            node_templates[0].py += 1;
            light_vector.lx = -light_vector.lx + 1;
        }
    });
    for (int frame = 0; frame < 100; frame++) {
        render_frame_3d();
        ASSERT_EQ(nodes[0].px, nodes[0].py);
    }
    stop = true;
    ticker.join();
}
