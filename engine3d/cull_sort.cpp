// Back-face culling and the far-to-near depth sort.
#include <stdexcept>
#include <string>
#include <utility>

#include "engine3d/pipeline.h"

namespace vantrose {

void cull_back_faces() {
    visible_face_count = 0;
    if (world_face_count > world_face_capacity || world_vertex_count > world_vertex_capacity)
        throw std::length_error("cull_back_faces: world counts past their pools");
    for (uint32_t i = 0; i < world_face_count; i++) {
        const Face& f = world_faces[i];
        if (static_cast<uint32_t>(f.a) >= world_vertex_count ||
            static_cast<uint32_t>(f.b) >= world_vertex_count ||
            static_cast<uint32_t>(f.c) >= world_vertex_count)
            throw std::out_of_range("cull_back_faces: world face " + std::to_string(i) +
                                    " names a vertex past " + std::to_string(world_vertex_count));
        const ScreenPoint& a = screen_points[f.a];
        const ScreenPoint& b = screen_points[f.b];
        const ScreenPoint& c = screen_points[f.c];
        const float t1 = static_cast<float>((double{c.sy} - b.sy) * (double{a.sx} - b.sx));
        const float t2 = static_cast<float>((double{a.sy} - b.sy) * (double{c.sx} - b.sx));
        // Edge-on faces (t1 == t2) go with the back faces.
        if (t1 > t2) {
            if (visible_face_count >= visible_face_capacity)
                throw std::length_error("cull_back_faces: more than " +
                                        std::to_string(visible_face_capacity) + " visible faces");
            visible_faces[visible_face_count++] = f;
        }
    }
}

void compute_depth_keys() {
    if (visible_face_count > visible_face_capacity)
        throw std::length_error("compute_depth_keys: visible_face_count past its pool");
    for (uint32_t i = 0; i < visible_face_count; i++) {
        const Face& f = visible_faces[i];
        if (static_cast<uint32_t>(f.a) >= world_vertex_count ||
            static_cast<uint32_t>(f.b) >= world_vertex_count ||
            static_cast<uint32_t>(f.c) >= world_vertex_count)
            throw std::out_of_range("compute_depth_keys: visible face " + std::to_string(i) +
                                    " names a vertex past " + std::to_string(world_vertex_count));
        const double sum =
            double{world_vertices[f.a].z} + world_vertices[f.b].z + world_vertices[f.c].z;
        depth_keys[i] = static_cast<float>(sum / 3.0);
    }
}

// Quicksort, largest key first, middle element as pivot. The scans stop at the pivot or at an
// element a swap put behind them, so i and j never leave lo..hi; each sub-range is smaller.
void sort_faces(int32_t lo, int32_t hi) {
    if (lo < 0 || hi >= static_cast<int32_t>(visible_face_capacity))
        throw std::out_of_range("sort_faces: range " + std::to_string(lo) + ".." +
                                std::to_string(hi) + " outside the visible faces");
    if (lo >= hi) return;
    const float pivot = depth_keys[(lo + hi) / 2];
    int32_t i = lo, j = hi;
    do {
        while (depth_keys[i] > pivot) i++;
        while (depth_keys[j] < pivot) j--;
        if (i <= j) {
            std::swap(depth_keys[i], depth_keys[j]);
            std::swap(visible_faces[i], visible_faces[j]);
            i++;
            j--;
        }
    } while (i < j);
    if (lo < j) sort_faces(lo, j);
    if (i < hi) sort_faces(i, hi);
}

} // namespace vantrose
