// The stages of a 3D frame, in the order render_frame_3d runs them.
#pragma once
#include <cstdint>

#include "engine3d/model.h"

namespace vantrose {

// Instancing, transform and projection.
void copy_node_templates();
void instance_scene();
void instance_node(SceneNode node);
void rotate_vertices(uint32_t first, uint32_t end, float rz, float ry, float rx);
void project_vertices();

// Back-face culling and depth sort.
// Refuses (throws std::out_of_range) a face naming a vertex past world_vertex_count; `what`
// begins the message with the routine and the pool ("draw_faces: visible face ").
void check_face_vertices(const Face& f, const char* what, uint32_t index);
void cull_back_faces();
void compute_depth_keys();
void sort_faces(int32_t lo, int32_t hi);

// Lighting and face dispatch.
void draw_faces();
void face_normal(uint32_t visible_index, float* nx, float* ny, float* nz);

// Rasteriser.
struct EdgePoint {
    int32_t x, y;
    int32_t intensity, u, v; // 16.16
};
void clear_frame_3d();
void reset_edge_tables();
void walk_edge(const EdgePoint& a, const EdgePoint& b);
void fill_spans(int32_t texture);

// One face as lighting and dispatch hand it to the rasteriser. The corners are in walk order:
// the edge from corner 0 to corner 1 is the tallest; their u and v are the texture's s and t.
struct TriangleSetup {
    EdgePoint corner[3];
    int32_t texture;
};
// Resets the edge tables, walks the edges 0 to 1, 1 to 2 and 2 to 0, fills the spans.
void draw_triangle(const TriangleSetup& face);

// Shade table.
void build_intensity_ramp();
void build_shade_table();

} // namespace vantrose
