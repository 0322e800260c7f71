// Shared by the 3D scene tests: a small archive holding the scenes' textures and palettes, and
// geometry checks on raw mesh tables.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
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

// One file per process (ctest runs the cases side by side), removed when the process ends.
struct TestArchive {
    std::string path =
        ::testing::TempDir() + "scenes3d_test_" + std::to_string(::getpid()) + ".dat";
    TestArchive() {
        std::vector<Bytes> entries(54, Bytes{1});
        for (uint32_t i : texture_entries) entries[i] = Bytes(65536, static_cast<uint8_t>(i));
        for (uint32_t i : palette_entries) entries[i] = Bytes(768, static_cast<uint8_t>(i));
        write_file(path, build_archive(entries));
    }
    ~TestArchive() { std::remove(path.c_str()); }
};

inline void use_test_archive() {
    static TestArchive archive;
    archive_path = archive.path;
    if (rgb_screen == nullptr) allocate_buffers();
}

// Objects [first, end) follow each other in the pools from the start: vertex and face counts
// counts[o], the first and the last face with texture textures[o].
inline void expect_objects_in_order(const int32_t (*counts)[2], const int32_t* textures, int first,
                                    int end) {
    int32_t first_vertex = 0, first_face = 0;
    for (int o = first; o < end; ++o) {
        SCOPED_TRACE(o);
        EXPECT_EQ(objects[o].vertex_count, counts[o][0]);
        EXPECT_EQ(objects[o].face_count, counts[o][1]);
        EXPECT_EQ(objects[o].first_vertex, first_vertex);
        EXPECT_EQ(objects[o].first_face, first_face);
        EXPECT_EQ(model_faces[first_face].texture, textures[o]);
        EXPECT_EQ(model_faces[first_face + counts[o][1] - 1].texture, textures[o]);
        first_vertex += counts[o][0];
        first_face += counts[o][1];
    }
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
