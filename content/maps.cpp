#include "content/maps.h"

#include <algorithm>
#include <cmath>

#include "content/raster.h"

namespace vantrose {
namespace {

void put_uv(Bytes& out, int p, float u, float v) {
    const long iu = std::lround(std::floor(u)), iv = std::lround(std::floor(v));
    out[size_t(p) * 2] = uint8_t(iu & 255);
    out[size_t(p) * 2 + 1] = uint8_t(iv & 255);
}

// The drop the ripple's rings start from.
constexpr float drop_x = 172, drop_y = 94;

} // namespace

Bytes tunnel_map() {
    Bytes out(320 * 200 * 2);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const float dx = float(x) - 159.5f, dy = float(y) - 99.5f;
            const float r = std::sqrt(dx * dx + dy * dy);
            // Two texture widths round the wall; depth falls off as 1/r, finite at the centre.
            const float u = (std::atan2(dy, dx) / (2 * pi) + 0.5f) * 512.0f;
            const float v = 4608.0f / (r + 30.0f);
            put_uv(out, y * 320 + x, u, v);
        }
    return out;
}

Bytes floor_map() {
    Bytes out(320 * 200 * 2);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool floor = y >= 100;
            // Rows near the horizon keep the depth of a row a little below it, so the far
            // texture does not turn to noise.
            const float dy = std::max(std::fabs(float(y) - 99.5f), 4.5f);
            const float depth = 5200.0f / dy;
            const float u = (float(x) - 159.5f) * depth / 104.0f + (floor ? 0.0f : 128.0f);
            const float v = depth + (floor ? 0.0f : 64.0f);
            put_uv(out, y * 320 + x, u, v);
        }
    return out;
}

Bytes pulse_map() {
    Bytes out(320 * 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const float dx = float(x) - drop_x, dy = float(y) - drop_y;
            const float r = std::sqrt(dx * dx + dy * dy);
            // The swell runs outwards more slowly than the rings, broken up by a little noise.
            const float phase = r * 0.45f + 40.0f * fbm(float(x) / 48.0f, float(y) / 48.0f, 3, 31);
            out[size_t(y) * 320 + size_t(x)] = uint8_t(std::lround(phase) & 255);
        }
    return out;
}

Bytes wave_map() {
    Bytes out(320 * 200 + wave_profile_length);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const float dx = float(x) - drop_x, dy = float(y) - drop_y;
            const float r = std::sqrt(dx * dx + dy * dy) * 1.22f;
            out[size_t(y) * 320 + size_t(x)] = uint8_t(std::min(255L, std::lround(r)));
        }
    // Four trains of rings, one every 256 steps, each a few long crests under a smooth
    // envelope, of varying strength so that the drops do not look machine-made. The rings
    // move 4 steps a frame: a wavelength of 60 steps keeps them gliding rather than buzzing.
    static const float strength[4] = {1.0f, 0.6f, 0.85f, 0.5f};
    for (int i = 0; i < wave_profile_length; ++i) {
        const int train = i / 256;
        const float local = float(i % 256) - 128.0f;
        const float envelope = std::exp(-(local * local) / (2 * 46.0f * 46.0f));
        const float s = 127.0f * strength[train] * envelope * std::sin(2 * pi * local / 60.0f);
        const long v = std::clamp(std::lround(s), -128L, 127L);
        out[64000 + size_t(i)] = uint8_t(int8_t(v));
    }
    return out;
}

} // namespace vantrose
