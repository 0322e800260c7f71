#include "content/scenery.h"

#include <cmath>

namespace vantrose {

float stars(float x, float y, float cell, float chance, uint32_t seed) {
    const int cx = int(std::floor(x / cell)), cy = int(std::floor(y / cell));
    float light = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const int gx = cx + i, gy = cy + j;
            if (hash01(gx, gy, seed) > chance) continue;
            const float px = (float(gx) + hash01(gx, gy, seed + 1)) * cell;
            const float py = (float(gy) + hash01(gx, gy, seed + 2)) * cell;
            const float b = std::pow(hash01(gx, gy, seed + 3), 3.0f);
            const float d2 = (x - px) * (x - px) + (y - py) * (y - py);
            // Bright stars are wider; all are at least about a pixel across.
            const float r = 0.45f + 1.1f * b;
            light += (0.25f + 0.75f * b) * std::exp(-d2 / (r * r));
        }
    return light;
}

float clouds(float u, float v, uint32_t seed) {
    const float wx = fbm(u + 3.1f, v + 1.7f, 4, seed + 1);
    const float wy = fbm(u + 8.3f, v + 2.9f, 4, seed + 2);
    return fbm(u + 1.8f * wx, v + 1.8f * wy, 6, seed);
}

SphereHit sphere(float x, float y, float cx, float cy, float r, float lx, float ly, float lz) {
    const float dx = (x - cx) / r, dy = (y - cy) / r;
    const float d2 = dx * dx + dy * dy;
    if (d2 >= 1) return {false, 0, 0, 0, 0, 1};
    const float nz = std::sqrt(1 - d2);
    const float ll = std::sqrt(lx * lx + ly * ly + lz * lz);
    const float l = (dx * lx + dy * ly + nz * lz) / ll;
    return {true, dx, dy, nz, l > 0 ? l : 0, std::sqrt(d2)};
}

float ridge(float u, float base, float height, float roughness, uint32_t seed) {
    float h = 0, amp = 1, norm = 0, f = 1;
    for (int o = 0; o < 7; ++o) {
        // Sharp crests: folded noise.
        const float n = 1 - std::fabs(2 * value_noise(u * f, 0.5f, seed + uint32_t(o)) - 1);
        h += amp * n * n;
        norm += amp;
        amp *= roughness;
        f *= 2.1f;
    }
    return base - height * h / norm;
}

} // namespace vantrose
