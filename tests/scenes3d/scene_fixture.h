// Shared by the 3D scene tests: a small archive holding the scenes' textures and palettes, and
// geometry checks on raw mesh tables.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "content/archive_writer.h"
#include "engine3d/model.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "scenes3d/wide_model.h"

namespace vantrose::test {

// Textures hold their own entry index in every texel, palettes their index in every byte.
inline constexpr std::array<uint32_t, 6> texture_entries = {39, 41, 45, 47, 50, 52};
inline constexpr std::array<uint32_t, 6> palette_entries = {40, 42, 46, 48, 51, 53};

inline void use_test_archive() {
    static bool ready = false;
    if (ready) return;
    std::vector<Bytes> entries(54, Bytes{1});
    for (uint32_t i : texture_entries) entries[i] = Bytes(65536, static_cast<uint8_t>(i));
    for (uint32_t i : palette_entries) entries[i] = Bytes(768, static_cast<uint8_t>(i));
    std::string path = ::testing::TempDir() + "scenes3d_test.dat";
    write_file(path, build_archive(entries));
    archive_path = path;
    if (rgb_screen == nullptr) allocate_buffers();
    ready = true;
}

struct Vec {
    double x, y, z;
};
inline Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec raw_vertex(const WideTable& v, int32_t i) {
    return {double(v.at(i, 0)), double(v.at(i, 1)), double(v.at(i, 2))};
}

// The normal that points away from the side the engine draws: a face whose corners a, b, c
// appear clockwise on the screen (x right, y down) has (c - b) x (a - b) towards the viewer.
inline Vec outward_normal(const WideTable& v, const WideTable& f, int32_t k) {
    Vec a = raw_vertex(v, f.at(k, 0)), b = raw_vertex(v, f.at(k, 1)), c = raw_vertex(v, f.at(k, 2));
    return cross(c - b, a - b);
}

inline Vec face_centre(const WideTable& v, const WideTable& f, int32_t k) {
    Vec a = raw_vertex(v, f.at(k, 0)), b = raw_vertex(v, f.at(k, 1)), c = raw_vertex(v, f.at(k, 2));
    return {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
}

// Six times the signed volume enclosed by faces [first, end): positive when they face outwards.
inline double signed_volume(const WideTable& v, const WideTable& f, int32_t first, int32_t end) {
    double sum = 0;
    for (int32_t k = first; k < end; ++k)
        sum += dot(raw_vertex(v, f.at(k, 0)),
                   cross(raw_vertex(v, f.at(k, 1)), raw_vertex(v, f.at(k, 2))));
    return sum;
}

// For a convex piece: faces [first, end) that point towards `centre` instead of away from it.
inline int inward_faces(const WideTable& v, const WideTable& f, int32_t first, int32_t end,
                        Vec centre) {
    int inward = 0;
    for (int32_t k = first; k < end; ++k)
        if (dot(outward_normal(v, f, k), face_centre(v, f, k) - centre) <= 0) ++inward;
    return inward;
}

inline Vec vertex_centroid(const WideTable& v, int32_t first, int32_t end) {
    Vec c{0, 0, 0};
    for (int32_t i = first; i < end; ++i) {
        Vec p = raw_vertex(v, i);
        c = {c.x + p.x, c.y + p.y, c.z + p.z};
    }
    double n = end - first;
    return {c.x / n, c.y / n, c.z / n};
}

} // namespace vantrose::test
