// Records, pools and counters of the 3D engine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace vantrose {

constexpr int32_t NO_OBJECT = 100000000;

constexpr uint32_t model_vertex_capacity = 3000;
constexpr uint32_t model_face_capacity = 3000;
constexpr uint32_t object_capacity = 6;
constexpr uint32_t node_capacity = 86;
constexpr uint32_t world_vertex_capacity = 3000;
constexpr uint32_t world_face_capacity = 6000;
constexpr uint32_t visible_face_capacity = 3000;
constexpr int32_t logical_rows = 133;

struct ModelVertex {
    float x, y, z;
};

struct Face {
    int32_t a, b, c;
    int32_t texture;
};

struct ObjectRecord {
    int32_t vertex_count;
    int32_t face_count;
    int32_t first_vertex;
    int32_t first_face;
};

// 15 words in this order; scenes and tick routines address the fields by name.
struct SceneNode {
    int32_t object;
    float px, py, pz;
    float vx, vy, vz;
    float rz, ry, rx;
    float wz, wy, wx;
    int32_t first_child;
    int32_t child_count;
};
static_assert(sizeof(SceneNode) == 15 * 4);

struct WorldVertex {
    float x, y, z;
    float u, v;
};

struct ScreenPoint {
    float sx, sy;
};

struct VertexLight {
    float nx, ny, nz;
    float intensity;
};

struct EdgeEntry {
    int32_t x;
    int32_t intensity, u, v; // 16.16
};

struct LightVector {
    float lx, ly, lz;
};

extern ModelVertex model_vertices[model_vertex_capacity];
extern Face model_faces[model_face_capacity];
extern ObjectRecord objects[object_capacity];
extern uint32_t model_vertex_total, model_face_total;

extern SceneNode node_templates[node_capacity];
extern uint32_t node_count;
extern uint32_t root_count;
extern SceneNode nodes[node_capacity];

extern WorldVertex world_vertices[world_vertex_capacity];
extern Face world_faces[world_face_capacity];
extern uint32_t world_vertex_count, world_face_count;
extern ScreenPoint screen_points[world_vertex_capacity];

extern Face visible_faces[visible_face_capacity];
extern float depth_keys[visible_face_capacity];
extern uint32_t visible_face_count;

extern VertexLight vertex_lights[world_vertex_capacity];
extern EdgeEntry edge_table_a[logical_rows];
extern EdgeEntry edge_table_b[logical_rows];

extern uint8_t* texture_block;          // 131072 bytes: texture 0, then texture 1
extern uint8_t texture_palettes[2 * 768];
extern uint8_t intensity_ramp[256 * 3];
extern uint8_t shade_table[2 * 256 * 256 * 3];
extern LightVector light_vector;
extern float light_angle;
extern uint8_t map_v_from_y;

// Held by the 3D tick routines (around their writes of node_templates, light_vector and
// light_angle), by copy_node_templates, by draw_faces while it reads light_vector, and by the
// runners around root reads and writes, so every frame sees whole ticks.
extern std::mutex node_mutex;

// Appends an object to the model pools (vertices and faces with local indices) as object `slot`.
// Refuses (throws std::length_error) when a pool or the object table would overflow.
void append_object(uint32_t slot, const ModelVertex* vertices, int32_t vertex_count,
                   const Face* faces, int32_t face_count);

// Packed model tables: int16 count, then count int16 triples, little-endian, unaligned.
// Coordinates are divided by 4, truncating toward zero; faces get texture 0.
// Returns the number of bytes read; refuses tables that overrun `size` or the output room.
size_t read_packed_vertices(const uint8_t* table, size_t size, ModelVertex* out, size_t room,
                            int32_t* count);
size_t read_packed_faces(const uint8_t* table, size_t size, Face* out, size_t room,
                         int32_t* count);

void allocate_texture_block();
void free_texture_block();

} // namespace vantrose
