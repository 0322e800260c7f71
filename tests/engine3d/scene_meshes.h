// Test meshes, textures and palettes for whole 3D frames (golden test and benchmark).
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine3d/model.h"

namespace vantrose::test3d {

struct Mesh {
    std::vector<ModelVertex> vertices;
    std::vector<Face> faces;
};

// Orders each face so that it is a front face when its outward side (away from the centre of the
// convex mesh) looks at the viewer.
inline void orient_outwards(Mesh& mesh) {
    for (Face& f : mesh.faces) {
        const ModelVertex& a = mesh.vertices[f.a];
        const ModelVertex& b = mesh.vertices[f.b];
        const ModelVertex& c = mesh.vertices[f.c];
        const double ex = a.x - b.x, ey = a.y - b.y, ez = a.z - b.z;
        const double gx = c.x - b.x, gy = c.y - b.y, gz = c.z - b.z;
        const double cx = ey * gz - ez * gy, cy = ez * gx - ex * gz, cz = ex * gy - ey * gx;
        const double mx = a.x + b.x + c.x, my = a.y + b.y + c.y, mz = a.z + b.z + c.z;
        if (cx * mx + cy * my + cz * mz > 0) std::swap(f.b, f.c);
    }
}

inline Mesh cube_mesh(float half, int32_t texture) {
    Mesh m;
    for (int i = 0; i < 8; i++)
        m.vertices.push_back({i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half});
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        m.faces.push_back({q[0], q[1], q[2], texture});
        m.faces.push_back({q[0], q[2], q[3], texture});
    }
    orient_outwards(m);
    return m;
}

inline Mesh sphere_mesh(float radius, int stacks, int slices, int32_t texture) {
    Mesh m;
    const double pi = 3.14159;
    m.vertices.push_back({0, -radius, 0});
    for (int i = 1; i < stacks; i++)
        for (int j = 0; j < slices; j++) {
            const double theta = pi * i / stacks, phi = 2 * pi * j / slices;
            m.vertices.push_back({static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                                  static_cast<float>(-radius * std::cos(theta)),
                                  static_cast<float>(radius * std::sin(theta) * std::sin(phi))});
        }
    const int32_t bottom = static_cast<int32_t>(m.vertices.size());
    m.vertices.push_back({0, radius, 0});
    auto ring = [&](int i, int j) { return 1 + (i - 1) * slices + (j % slices); };
    for (int j = 0; j < slices; j++) {
        m.faces.push_back({0, ring(1, j), ring(1, j + 1), texture});
        m.faces.push_back({bottom, ring(stacks - 1, j), ring(stacks - 1, j + 1), texture});
        for (int i = 1; i + 1 < stacks; i++) {
            m.faces.push_back({ring(i, j), ring(i + 1, j), ring(i + 1, j + 1), texture});
            m.faces.push_back({ring(i, j), ring(i + 1, j + 1), ring(i, j + 1), texture});
        }
    }
    orient_outwards(m);
    return m;
}

// Texture 0: a checker of two colour ramps; texture 1: rings. Palettes: warm and cool ramps.
inline void fill_test_textures(uint8_t* block, uint8_t* palettes) {
    for (int t = 0; t < 256; t++)
        for (int s = 0; s < 256; s++) {
            const bool dark = ((s >> 4) ^ (t >> 4)) & 1;
            block[256 * t + s] =
                static_cast<uint8_t>(dark ? (s ^ t) & 0x7F : 128 + ((s + t) & 0x7F));
            const int ds = s - 128, dt = t - 128;
            block[65536 + 256 * t + s] =
                static_cast<uint8_t>(static_cast<int>(std::sqrt(ds * ds + dt * dt) * 6) & 0xFF);
        }
    for (int i = 0; i < 256; i++) {
        const int warm[2][3] = {{63 - i / 4, i / 3, 8}, {6, (i - 128) / 3, 63 - (i - 128) / 8}};
        const int cool[3] = {20 + (i & 31), 63 - (i >> 3), (i * 5) & 63};
        for (int k = 0; k < 3; k++) {
            palettes[3 * i + k] = static_cast<uint8_t>(warm[i >= 128][k]);
            palettes[768 + 3 * i + k] = static_cast<uint8_t>(cool[k]);
        }
    }
}

} // namespace vantrose::test3d
