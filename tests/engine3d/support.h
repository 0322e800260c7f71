// The 3D engine tests' fixture: a clean engine, a stripe image of their own, a zeroed texture
// block.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/buffers.h"

namespace vantrose::test3d {

constexpr uint8_t untouched = 0xAA;

class Engine3d : public ::testing::Test {
  protected:
    void SetUp() override {
        model_vertex_total = model_face_total = node_count = root_count = 0;
        world_vertex_count = world_face_count = visible_face_count = 0;
        std::memset(objects, 0, sizeof objects);
        std::memset(node_templates, 0, sizeof node_templates);
        std::memset(nodes, 0, sizeof nodes);
        std::memset(vertex_lights, 0, sizeof vertex_lights);
        light_vector = {0.0f, 80.0f, -80.0f};
        light_angle = 0.0f;
        map_v_from_y = 0;
        screen.assign(rgb_screen_size, untouched);
        saved_screen = rgb_screen;
        rgb_screen = screen.data();
        allocate_texture_block();
        reset_edge_tables();
    }
    void TearDown() override {
        free_texture_block();
        rgb_screen = saved_screen;
    }
    // A node with everything zero but the object, the position and the children.
    static SceneNode node(int32_t object, float px = 0, float py = 0, float pz = 0,
                          int32_t first_child = 0, int32_t child_count = 0) {
        SceneNode n{};
        n.object = object, n.px = px, n.py = py, n.pz = pz;
        n.first_child = first_child, n.child_count = child_count;
        return n;
    }
    std::vector<uint8_t> screen;
    uint8_t* saved_screen = nullptr;
};

} // namespace vantrose::test3d
