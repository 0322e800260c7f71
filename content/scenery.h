// Pieces of scenery shared by the pictures: stars, clouds, glows, spheres, water.
#pragma once
#include "content/raster.h"

namespace vantrose {

// Star light at pixel (x, y): points on a jittered grid of `cell` pixels, a fraction `chance`
// of the cells holding one, a few of them bright.
float stars(float x, float y, float cell, float chance, uint32_t seed);

// Soft cloud density 0..1, warped so that it curls; (u, v) in units of `scale`.
float clouds(float u, float v, uint32_t seed);

// Light of a glow at distance d with core radius r: 1 at the centre, falling off softly.
inline float glow(float d, float r) {
    return 1.0f / (1.0f + (d / r) * (d / r));
}

// A sphere seen from the front, lit from direction (lx, ly, lz) (towards the light).
struct SphereHit {
    bool hit;
    float nx, ny, nz; // surface normal
    float light;      // Lambert term 0..1
    float rim;        // 0 at the centre of the disc, 1 at its edge
};
SphereHit sphere(float x, float y, float cx, float cy, float r, float lx, float ly, float lz);

// Mountain ridge height at u (0..1 of the picture's height): a jagged fractal profile.
float ridge(float u, float base, float height, float roughness, uint32_t seed);

} // namespace vantrose
