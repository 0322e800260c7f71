// Instancing, transform and projection: from the node tree to this frame's screen points.
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "engine3d/pipeline.h"

namespace vantrose {

namespace {

// Nesting of the running instance_node calls. Children lie below node_count, so a chain deeper
// than the node capacity repeats a node: a cycle in the tree.
uint32_t instance_depth = 0;

struct DepthGuard {
    DepthGuard() { instance_depth++; }
    ~DepthGuard() { instance_depth--; }
};

[[noreturn]] void refuse(const std::string& what) {
    throw std::length_error(what);
}

} // namespace

void copy_node_templates() {
    std::lock_guard<std::mutex> lock(node_mutex);
    if (node_count > node_capacity)
        refuse("copy_node_templates: node_count " + std::to_string(node_count) +
               " past the capacity of " + std::to_string(node_capacity));
    std::memcpy(nodes, node_templates, sizeof(SceneNode) * node_count);
}

void instance_scene() {
    world_vertex_count = 0;
    world_face_count = 0;
    if (root_count > node_count)
        refuse("instance_scene: root_count " + std::to_string(root_count) + " past node_count " +
               std::to_string(node_count));
    for (uint32_t r = 0; r < root_count; r++) instance_node(nodes[r]);
}

namespace {

// Appends object `index` to the world pools, faces renumbered to absolute vertex indices.
void append_world_object(int32_t index) {
    if (index < 0 || static_cast<uint32_t>(index) >= object_capacity)
        refuse("instance_node: object " + std::to_string(index) + " past the table of " +
               std::to_string(object_capacity));
    const ObjectRecord& o = objects[index];
    const int64_t vertex_end = int64_t{o.first_vertex} + o.vertex_count;
    const int64_t face_end = int64_t{o.first_face} + o.face_count;
    if (o.vertex_count < 0 || o.first_vertex < 0 || vertex_end > model_vertex_capacity ||
        o.face_count < 0 || o.first_face < 0 || face_end > model_face_capacity)
        refuse("instance_node: object " + std::to_string(index) + " lies outside the model pools");
    if (static_cast<uint32_t>(o.vertex_count) > world_vertex_capacity - world_vertex_count)
        refuse("instance_node: world vertex pool full (" + std::to_string(world_vertex_count) +
               " + " + std::to_string(o.vertex_count) + " > " +
               std::to_string(world_vertex_capacity) + ")");
    if (static_cast<uint32_t>(o.face_count) > world_face_capacity - world_face_count)
        refuse("instance_node: world face pool full (" + std::to_string(world_face_count) + " + " +
               std::to_string(o.face_count) + " > " + std::to_string(world_face_capacity) + ")");

    const int32_t base = static_cast<int32_t>(world_vertex_count);
    const ModelVertex* m = &model_vertices[o.first_vertex];
    WorldVertex* w = &world_vertices[base];
    const bool v_from_y = map_v_from_y != 0;
    for (int32_t j = 0; j < o.vertex_count; j++)
        w[j] = {m[j].x, m[j].y, m[j].z, m[j].x, v_from_y ? m[j].y : m[j].z};

    const Face* f = &model_faces[o.first_face];
    Face* out = &world_faces[world_face_count];
    for (int32_t j = 0; j < o.face_count; j++) {
        const Face& g = f[j];
        if (static_cast<uint32_t>(g.a) >= static_cast<uint32_t>(o.vertex_count) ||
            static_cast<uint32_t>(g.b) >= static_cast<uint32_t>(o.vertex_count) ||
            static_cast<uint32_t>(g.c) >= static_cast<uint32_t>(o.vertex_count))
            refuse("instance_node: face " + std::to_string(j) + " of object " +
                   std::to_string(index) + " names a vertex outside its " +
                   std::to_string(o.vertex_count));
        if (g.texture != 0 && g.texture != 1)
            refuse("instance_node: face " + std::to_string(j) + " of object " +
                   std::to_string(index) + " has texture " + std::to_string(g.texture));
        out[j] = {g.a + base, g.b + base, g.c + base, g.texture};
    }
    world_face_count += static_cast<uint32_t>(o.face_count);
    world_vertex_count += static_cast<uint32_t>(o.vertex_count);
}

} // namespace

void instance_node(SceneNode node) {
    if (instance_depth >= node_capacity)
        refuse("instance_node: node tree deeper than " + std::to_string(node_capacity) +
               " levels (a cycle)");
    DepthGuard guard;
    const uint32_t start = world_vertex_count;
    if (node.first_child != 0) {
        const int64_t end = int64_t{node.first_child} + node.child_count;
        if (node.first_child < 0 || end > node_count)
            refuse("instance_node: children " + std::to_string(node.first_child) + " + " +
                   std::to_string(node.child_count) + " past node_count " +
                   std::to_string(node_count));
        for (int64_t k = node.first_child; k < end; k++) instance_node(nodes[k]);
    }
    if (node.object != NO_OBJECT) append_world_object(node.object);

    rotate_vertices(start, world_vertex_count, node.rz, node.ry, node.rx);
    for (uint32_t i = start; i < world_vertex_count; i++) {
        WorldVertex& w = world_vertices[i];
        w.x += node.px;
        w.y += node.py;
        w.z += node.pz;
    }
}

void rotate_vertices(uint32_t first, uint32_t end, float rz, float ry, float rx) {
    if (end > world_vertex_capacity)
        throw std::out_of_range("rotate_vertices: end " + std::to_string(end) +
                                " past the world vertex pool");
    const double cx = std::cos(double{rx}), sx = std::sin(double{rx});
    const double cy = std::cos(double{ry}), sy = std::sin(double{ry});
    const double cz = std::cos(double{rz}), sz = std::sin(double{rz});
    for (uint32_t i = first; i < end; i++) {
        WorldVertex& w = world_vertices[i];
        float x = w.x, y = w.y, z = w.z;
        // About x, then y, then z, each stored back as float before the next.
        float y1 = static_cast<float>(double{y} * cx + double{z} * sx);
        float z1 = static_cast<float>(double{z} * cx - double{y} * sx);
        float x2 = static_cast<float>(double{x} * cy - double{z1} * sy);
        float z2 = static_cast<float>(double{z1} * cy + double{x} * sy);
        float x3 = static_cast<float>(double{x2} * cz + double{y1} * sz);
        float y3 = static_cast<float>(double{y1} * cz - double{x2} * sz);
        w.x = x3;
        w.y = y3;
        w.z = z2;
    }
}

void project_vertices() {
    if (world_vertex_count > world_vertex_capacity)
        refuse("project_vertices: world_vertex_count past its pool");
    for (uint32_t i = 0; i < world_vertex_count; i++) {
        const WorldVertex& w = world_vertices[i];
        // The scale is linear in depth: 1 at z = 0, 0 at the viewer distance of 1000.
        const double k = 1000.0 - double{w.z};
        const float sx = static_cast<float>(k * double{w.x} / 1000.0);
        screen_points[i].sx = static_cast<float>(double{sx} + 160.0);
        screen_points[i].sy = static_cast<float>(k * double{w.y} / 1000.0 * 0.545 + 66.0);
    }
}

} // namespace vantrose
