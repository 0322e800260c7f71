#include "support.h"

#include <cstring>

namespace vantrose::test3d {

void Engine3d::SetUp() {
    model_vertex_total = model_face_total = 0;
    std::memset(objects, 0, sizeof objects);
    std::memset(node_templates, 0, sizeof node_templates);
    std::memset(nodes, 0, sizeof nodes);
    node_count = root_count = 0;
    world_vertex_count = world_face_count = visible_face_count = 0;
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

void Engine3d::TearDown() {
    free_texture_block();
    rgb_screen = saved_screen;
}

SceneNode Engine3d::node(int32_t object, float px, float py, float pz, int32_t first_child,
                         int32_t child_count) {
    SceneNode n{};
    n.object = object;
    n.px = px;
    n.py = py;
    n.pz = pz;
    n.first_child = first_child;
    n.child_count = child_count;
    return n;
}

} // namespace vantrose::test3d
