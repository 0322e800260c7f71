// Vertex lighting from averaged normals, and the far-to-near dispatch of faces to the rasteriser.
#include <cmath>
#include <stdexcept>
#include <string>

#include "engine3d/convert.h"
#include "engine3d/pipeline.h"

namespace vantrose {

namespace {

constexpr double pi_value = 3.1415927;
constexpr double brightness_scale = 81.0;
constexpr float near_limit = -1300.0f;
constexpr double texture_offset = 128.0;

struct Corner {
    int32_t x, y;
};

Corner integer_corner(uint32_t vertex) {
    const ScreenPoint& p = screen_points[vertex];
    return {trunc_to_int32(p.sx), trunc_to_int32(p.sy)};
}

bool off_raster(const Corner& a, const Corner& b, const Corner& c) {
    return (a.x < 0 && b.x < 0 && c.x < 0) || (a.y < 0 && b.y < 0 && c.y < 0) ||
           (a.x > 319 && b.x > 319 && c.x > 319) || (a.y > 199 && b.y > 199 && c.y > 199);
}

// A screen point with no int32 truncation (NaN, infinite, or past the int32 range) has no
// integer corner; trunc_to_int32 gave it INT32_MIN for the raster test.
bool has_integer_corner(uint32_t vertex) {
    const ScreenPoint& p = screen_points[vertex];
    return has_int32_trunc(p.sx) && has_int32_trunc(p.sy);
}

EdgePoint edge_point(const Corner& p, uint32_t vertex) {
    const WorldVertex& w = world_vertices[vertex];
    const uint32_t intensity =
        static_cast<uint32_t>(trunc_to_int32(vertex_lights[vertex].intensity)) & 255u;
    // Model 0 sits at the texture's centre; coordinates wrap every 256 model units.
    const uint32_t s = static_cast<uint32_t>(trunc_to_int32(double{w.u} + texture_offset)) & 255u;
    const uint32_t t = static_cast<uint32_t>(trunc_to_int32(double{w.v} + texture_offset)) & 255u;
    return {p.x, p.y, static_cast<int32_t>(intensity << 16), static_cast<int32_t>(s << 16),
            static_cast<int32_t>(t << 16)};
}

int64_t row_span(int32_t y0, int32_t y1) {
    const int64_t d = int64_t{y1} - y0;
    return d < 0 ? -d : d;
}

} // namespace

void face_normal(uint32_t visible_index, float* nx, float* ny, float* nz) {
    if (visible_index >= visible_face_capacity)
        throw std::out_of_range("face_normal: visible face " + std::to_string(visible_index));
    const Face& f = visible_faces[visible_index];
    if (static_cast<uint32_t>(f.a) >= world_vertex_capacity ||
        static_cast<uint32_t>(f.b) >= world_vertex_capacity ||
        static_cast<uint32_t>(f.c) >= world_vertex_capacity)
        throw std::out_of_range("face_normal: visible face " + std::to_string(visible_index) +
                                " names a vertex past the pool");
    const WorldVertex& p0 = world_vertices[f.a];
    const WorldVertex& p1 = world_vertices[f.b];
    const WorldVertex& p2 = world_vertices[f.c];
    const double d1x = double{p0.x} - p1.x, d1y = double{p0.y} - p1.y, d1z = double{p0.z} - p1.z;
    const double d2x = double{p0.x} - p2.x, d2y = double{p0.y} - p2.y, d2z = double{p0.z} - p2.z;
    *nx = static_cast<float>(d1y * d2z - d1z * d2y);
    *ny = static_cast<float>(d1x * d2z - d1z * d2x); // the negated y of d1 x d2
    *nz = static_cast<float>(d1x * d2y - d1y * d2x);
}

void draw_faces() {
    if (visible_face_count > visible_face_capacity)
        throw std::length_error("draw_faces: visible_face_count past its pool");
    LightVector light;
    {
        std::lock_guard<std::mutex> lock(node_mutex); // the floor scene's tick swings the light
        light = light_vector;
    }

    for (VertexLight& l : vertex_lights) l.nx = l.ny = l.nz = 0.0f;

    // Normal pass: faces on the raster add their normal to each corner.
    uint32_t max_vertex = 0;
    for (uint32_t i = 0; i < visible_face_count; i++) {
        const Face& f = visible_faces[i];
        check_face_vertices(f, "draw_faces: visible face ", i);
        if (off_raster(integer_corner(f.a), integer_corner(f.b), integer_corner(f.c))) continue;
        float nx, ny, nz;
        face_normal(i, &nx, &ny, &nz);
        for (int32_t v : {f.a, f.b, f.c}) {
            VertexLight& l = vertex_lights[v];
            l.nx += nx;
            l.ny += ny;
            l.nz += nz;
            if (static_cast<uint32_t>(v) > max_vertex) max_vertex = static_cast<uint32_t>(v);
        }
    }

    // Intensity pass: linear in the angle between normal and light.
    const double lx = light.lx, ly = light.ly, lz = light.lz;
    const double len_l = std::sqrt(lx * lx + ly * ly + lz * lz);
    for (uint32_t v = 0; v <= max_vertex; v++) {
        VertexLight& l = vertex_lights[v];
        const double nx = l.nx, ny = l.ny, nz = l.nz;
        const double len_n = std::sqrt(nx * nx + ny * ny + nz * nz);
        const float lens = static_cast<float>(len_n * len_l);
        float c = static_cast<float>((nx * lx + ny * ly + nz * lz) / double{lens});
        if (c > 1.0f)
            c = 1.0f;
        else if (c < -1.0f)
            c = -1.0f;
        else if (std::isnan(c))
            c = -1.0f; // a zero normal
        l.intensity = static_cast<float>(
            std::fabs((pi_value - std::fabs(std::acos(double{c}))) * brightness_scale));
    }

    // Draw pass, far to near.
    for (uint32_t i = 0; i < visible_face_count; i++) {
        const Face& f = visible_faces[i];
        const Corner a = integer_corner(f.a), b = integer_corner(f.b), c = integer_corner(f.c);
        if (off_raster(a, b, c)) continue;
        if (world_vertices[f.a].z < near_limit && world_vertices[f.b].z < near_limit &&
            world_vertices[f.c].z < near_limit)
            continue;
        if (!has_integer_corner(f.a) || !has_integer_corner(f.b) || !has_integer_corner(f.c))
            continue;

        const EdgePoint pa = edge_point(a, f.a), pb = edge_point(b, f.b), pc = edge_point(c, f.c);
        const int64_t d_ab = row_span(a.y, b.y), d_bc = row_span(b.y, c.y),
                      d_ca = row_span(c.y, a.y);
        // The tallest edge first: it fills table A on its own.
        TriangleSetup setup{{pb, pc, pa}, f.texture};
        if (d_ab > d_bc && d_ab > d_ca)
            setup = {{pa, pb, pc}, f.texture};
        else if (d_ca > d_bc)
            setup = {{pc, pa, pb}, f.texture};
        draw_triangle(setup);
    }
}

} // namespace vantrose
