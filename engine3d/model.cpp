// The pools, counters and tables of the 3D engine, and the ways set-up code fills them.
#include "engine3d/model.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace vantrose {

ModelVertex model_vertices[model_vertex_capacity];
Face model_faces[model_face_capacity];
ObjectRecord objects[object_capacity];
uint32_t model_vertex_total = 0, model_face_total = 0;

SceneNode node_templates[node_capacity];
uint32_t node_count = 0;
uint32_t root_count = 0;
SceneNode nodes[node_capacity];

WorldVertex world_vertices[world_vertex_capacity];
Face world_faces[world_face_capacity];
uint32_t world_vertex_count = 0, world_face_count = 0;
ScreenPoint screen_points[world_vertex_capacity];

Face visible_faces[visible_face_capacity];
float depth_keys[visible_face_capacity];
uint32_t visible_face_count = 0;

VertexLight vertex_lights[world_vertex_capacity];
EdgeEntry edge_table_a[logical_rows];
EdgeEntry edge_table_b[logical_rows];

uint8_t* texture_block = nullptr;
uint8_t texture_palettes[2 * 768];
uint8_t intensity_ramp[256 * 3];
uint8_t shade_table[2 * 256 * 256 * 3];
LightVector light_vector = {0.0f, 80.0f, -80.0f};
float light_angle = 0.0f;
uint8_t map_v_from_y = 0;

std::mutex node_mutex;

namespace {

constexpr size_t texture_block_size = 131072;

[[noreturn]] void refuse(const std::string& what) {
    throw std::length_error(what);
}

int16_t read_int16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

// Count and room check shared by both packed tables; returns the count.
int32_t packed_count(const uint8_t* table, size_t size, size_t room, const char* what) {
    if (size < 2) refuse(std::string(what) + ": table shorter than its count");
    int32_t count = read_int16(table);
    if (count < 0) refuse(std::string(what) + ": negative count " + std::to_string(count));
    if (size < 2 + 6 * static_cast<size_t>(count))
        refuse(std::string(what) + ": " + std::to_string(count) + " entries overrun the table");
    if (static_cast<size_t>(count) > room)
        refuse(std::string(what) + ": " + std::to_string(count) + " entries, room for " +
               std::to_string(room));
    return count;
}

} // namespace

void append_object(uint32_t slot, const ModelVertex* vertices, int32_t vertex_count,
                   const Face* faces, int32_t face_count) {
    if (slot >= object_capacity)
        refuse("append_object: object slot " + std::to_string(slot) + " past the table of " +
               std::to_string(object_capacity));
    if (vertex_count < 0 || face_count < 0) refuse("append_object: negative count");
    if (model_vertex_total > model_vertex_capacity ||
        static_cast<uint32_t>(vertex_count) > model_vertex_capacity - model_vertex_total)
        refuse("append_object: " + std::to_string(vertex_count) + " vertices overflow the pool (" +
               std::to_string(model_vertex_total) + " of " + std::to_string(model_vertex_capacity) +
               " used)");
    if (model_face_total > model_face_capacity ||
        static_cast<uint32_t>(face_count) > model_face_capacity - model_face_total)
        refuse("append_object: " + std::to_string(face_count) + " faces overflow the pool (" +
               std::to_string(model_face_total) + " of " + std::to_string(model_face_capacity) +
               " used)");
    for (int32_t j = 0; j < face_count; j++) {
        const Face& f = faces[j];
        if (f.a < 0 || f.a >= vertex_count || f.b < 0 || f.b >= vertex_count || f.c < 0 ||
            f.c >= vertex_count)
            refuse("append_object: face " + std::to_string(j) + " names a vertex outside its " +
                   std::to_string(vertex_count) + " vertices");
        if (f.texture != 0 && f.texture != 1)
            refuse("append_object: face " + std::to_string(j) + " has texture " +
                   std::to_string(f.texture));
    }
    if (vertex_count > 0)
        std::memcpy(&model_vertices[model_vertex_total], vertices,
                    sizeof(ModelVertex) * static_cast<size_t>(vertex_count));
    if (face_count > 0)
        std::memcpy(&model_faces[model_face_total], faces,
                    sizeof(Face) * static_cast<size_t>(face_count));
    objects[slot] = {vertex_count, face_count, static_cast<int32_t>(model_vertex_total),
                     static_cast<int32_t>(model_face_total)};
    model_vertex_total += static_cast<uint32_t>(vertex_count);
    model_face_total += static_cast<uint32_t>(face_count);
}

size_t read_packed_vertices(const uint8_t* table, size_t size, ModelVertex* out, size_t room,
                            int32_t* count) {
    int32_t n = packed_count(table, size, room, "packed vertex table");
    const uint8_t* p = table + 2;
    for (int32_t i = 0; i < n; i++, p += 6) {
        // Integer division truncates toward zero: -7 loads as -1.
        out[i].x = static_cast<float>(read_int16(p) / 4);
        out[i].y = static_cast<float>(read_int16(p + 2) / 4);
        out[i].z = static_cast<float>(read_int16(p + 4) / 4);
    }
    *count = n;
    return 2 + 6 * static_cast<size_t>(n);
}

size_t read_packed_faces(const uint8_t* table, size_t size, Face* out, size_t room,
                         int32_t* count) {
    int32_t n = packed_count(table, size, room, "packed face table");
    const uint8_t* p = table + 2;
    for (int32_t i = 0; i < n; i++, p += 6)
        out[i] = {read_int16(p), read_int16(p + 2), read_int16(p + 4), 0};
    *count = n;
    return 2 + 6 * static_cast<size_t>(n);
}

void allocate_texture_block() {
    free_texture_block();
    texture_block = new uint8_t[texture_block_size]();
}

void free_texture_block() {
    delete[] texture_block;
    texture_block = nullptr;
}

} // namespace vantrose
