#include "content/textures.h"

#include <algorithm>
#include <cmath>

#include "content/cycles.h"
#include "content/quantize.h"

namespace vantrose {
namespace {

constexpr int size = 256;

// A texture of shade levels 0..1 on one ramp: entries first..255 carry the ramp, and pixels
// where `hole` is set get index 0.
Art ramp_art(const Mask& level, const Stops& ramp, int first, const Mask* hole = nullptr) {
    Art a;
    a.image = Indexed(level.w, level.h);
    put_ramp(a.palette, first, 256 - first, ramp);
    for (size_t i = 0; i < level.a.size(); ++i) {
        if (hole && hole->a[i] > 0.5f) continue;
        const float v = clamp01(level.a[i]);
        a.image.px[i] = uint8_t(first + std::lround(v * float(255 - first)));
    }
    return a;
}

} // namespace

Art lattice_texture() {
    // Copper grating: rounded square openings every 128 texels (large, so that the far layers,
    // shown ten times smaller, still read), bevelled bars, a rivet on every crossing. An
    // opening is centred on texel (0, 0), the point the layers turn and grow about, so the
    // flight goes through the openings.
    Mask height(size, size), hole(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float cx = wrapd(x + 0.5f, 128), cy = wrapd(y + 0.5f, 128);
            const float sd = sd_box(cx, cy, 0, 0, 48, 48, 18);
            hole.at(x, y) = sd < 0 ? 1.0f : 0.0f;
            const float bx = 64 - std::fabs(cx), by = 64 - std::fabs(cy);
            const float crossing = std::sqrt(bx * bx + by * by);
            float h = smoothstep(0, 9, sd);
            const float rivet = crossing / 11.0f;
            if (rivet < 1) h = std::max(h, 1.0f + 0.9f * std::sqrt(1 - rivet * rivet));
            h += 0.05f * fbm(x / 32.0f, y / 32.0f, 3, 7, 8);
            height.at(x, y) = h;
        }
    Mask gloss;
    const Mask light = relief_light(height, 6, -1, -1.2f, &gloss, true);
    Mask level(size, size);
    for (size_t i = 0; i < level.a.size(); ++i)
        level.a[i] = 0.3f + 0.5f * light.a[i] * (0.75f + 0.25f * height.a[i]) + 0.4f * gloss.a[i];
    return ramp_art(level, theme::copper, 1, &hole);
}

Art rings_lattice_texture() {
    // Ice-blue chain mail: a large ring in every 128-texel cell, centred on texel (0, 0) where
    // the layers turn and grow, small rings between them, short links; everything else open.
    Mask height(size, size), hole(size, size);
    auto tube = [](float d, float r, float half) {
        const float t = (d - r) / half;
        return std::fabs(t) < 1 ? std::sqrt(1 - t * t) : -1.0f;
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float cx = wrapd(x + 0.5f, 128), cy = wrapd(y + 0.5f, 128);
            const float kx = wrapd(x + 0.5f - 64, 128), ky = wrapd(y + 0.5f - 64, 128);
            float h = tube(std::sqrt(cx * cx + cy * cy), 50, 5.5f);
            h = std::max(h, tube(std::sqrt(kx * kx + ky * ky), 19, 4.5f));
            // Links on the diagonals from the small ring to the large one.
            const float ax = std::fabs(kx), ay = std::fabs(ky);
            const float link = sd_segment(ax, ay, 16.0f, 16.0f, 30.0f, 30.0f);
            h = std::max(h, tube(link, 0, 3.5f) * 0.8f);
            hole.at(x, y) = h < 0 ? 1.0f : 0.0f;
            height.at(x, y) = std::max(h, 0.0f);
        }
    Mask gloss;
    const Mask light = relief_light(height, 6, -1, -1.2f, &gloss, true);
    Mask level(size, size);
    for (size_t i = 0; i < level.a.size(); ++i)
        level.a[i] = 0.28f + 0.55f * light.a[i] * (0.5f + 0.5f * height.a[i]) + 0.45f * gloss.a[i];
    return ramp_art(level, theme::ice, 1, &hole);
}

Art ornament_texture() {
    // Fire rosettes on the multiples of 128 (the texture's middle is one of them), four-pointed
    // stars between them, a lattice of bands joining them; every shape outlined in black.
    Mask level = render_scalar(size, size, 3, [](float x, float y) {
        const float rx = wrapd(x, 128), ry = wrapd(y, 128);
        const float sx = wrapd(x - 64, 128), sy = wrapd(y - 64, 128);
        // Background: dark red with a faint diagonal weave.
        const float weave = 0.5f + 0.5f * std::sin((x + y) * pi / 16) * std::sin((x - y) * pi / 16);
        float v = 0.3f + 0.06f * weave;
        auto layer = [&](float sd, float fill, float outline_width) {
            v = mixf(v, 0.02f, cover(sd - outline_width));
            v = mixf(v, fill, cover(sd));
        };
        // Bands from rosette to star, along the diagonals.
        const float band = std::min(std::fabs(wrapd(x - y, 128)), std::fabs(wrapd(x + y, 128)));
        layer(band / 1.4142f - 3.0f, 0.55f, 1.5f);
        // The small star between rosettes.
        {
            const float r = std::sqrt(sx * sx + sy * sy), th = std::atan2(sy, sx);
            const float star = 10 + 16 * std::pow(std::fabs(std::cos(2 * th)), 3.0f);
            layer(r - star, 0.68f + 0.25f * (1 - r / 26), 1.8f);
            layer(r - 5, 0.92f, 1.5f);
        }
        // The rosette: outer ring, eight petals, a hot core.
        const float r = std::sqrt(rx * rx + ry * ry), th = std::atan2(ry, rx);
        layer(std::fabs(r - 52) - 4, 0.86f, 1.8f);
        const float petal = 20 + 26 * std::pow(std::fabs(std::cos(4 * th)), 1.6f);
        layer(r - petal, 0.6f + 0.32f * (1 - r / 46), 2.0f);
        const float inner = 12 + 10 * std::pow(std::fabs(std::cos(4 * th + pi / 4 * 2)), 2.0f);
        layer(r - inner, 0.8f + 0.12f * (1 - r / 22), 1.5f);
        layer(r - 7, 0.97f + 0.03f * (1 - r / 7), 1.5f);
        return v;
    });
    return ramp_art(level, theme::fire, 0);
}

Art tiles_texture() {
    // Corridor tiles: slate blue and violet stone, bevelled, a copper stud at every corner.
    Canvas c(size, size);
    Mask height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float cx = wrapd(x + 0.5f - 32, 64), cy = wrapd(y + 0.5f - 32, 64);
            const float sd = sd_box(cx, cy, 0, 0, 29, 29, 3);
            height.at(x, y) =
                smoothstep(-0.5f, -4.0f, sd) + 0.08f * fbm(x / 8.0f, y / 8.0f, 4, 11, 32);
        }
    Mask gloss;
    const Mask light = relief_light(height, 6, -0.8f, -1.2f, &gloss, true);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int tx = x / 64, ty = y / 64;
            const float tone = hash01(tx, ty, 5);
            const Rgb stone = mix(hex(0x2c3c78), hex(0x5a3c8c), tone);
            // Grain and a few pale veins, different in every tile.
            const uint32_t seed = 13 + uint32_t(tx + 4 * ty);
            const float grain = fbm(x / 12.0f, y / 12.0f, 4, seed, 0);
            const float vein = std::fabs(fbm(x / 20.0f, y / 20.0f, 4, seed + 99, 0) - 0.5f);
            Rgb p = stone * (0.55f + 0.5f * grain) * light.at(x, y);
            p = screen(p, hex(0x8090d0) * (0.35f * smoothstep(0.03f, 0.0f, vein)));
            p = screen(p, hex(0xb8c8ff) * (0.5f * gloss.at(x, y)));
            // Seams darker.
            p = p * (0.35f + 0.65f * clamp01(height.at(x, y) * 1.2f));
            // Copper studs on the corners.
            const float kx = wrapd(x + 0.5f, 64), ky = wrapd(y + 0.5f, 64);
            const float d = std::fabs(kx) + std::fabs(ky);
            const float stud = cover(d - 7);
            const float dome = clamp01(1 - d / 7);
            const Rgb copper =
                mix(hex(0x6a2a10), hex(0xffc890), dome * dome * (ky < 0 ? 1.0f : 0.7f));
            c.at(x, y) = mix(p, copper, stud);
        }
    return quantized(c, 0.35f);
}

Indexed marble_texture() {
    // A marble of flowing veins as an index field: rotating the copper palette moves the veins.
    Indexed out(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float warp = fbm(x / 64.0f, y / 64.0f, 5, 21, 4);
            const float t = 2.0f * x / size + 1.0f * y / size + 1.6f * warp;
            const float frac = t - std::floor(t);
            out.at(x, y) = uint8_t(std::lround(frac * 255.0f));
        }
    return out;
}

Art flutes_texture() {
    // Fluted copper: rounded ribs 32 texels apart running along v, gently waving. The swell
    // bends the texture's rows hard, so it changes slowly along v and carries its detail
    // across u. A gold ring sits on the texture's middle, where the floor scene's balls take
    // their texels.
    Canvas c = render(size, size, 2, [](float x, float y) {
        const float sway = 9.0f * std::sin(2 * pi * y / 128.0f) +
                           10.0f * (fbm(x / 64.0f, y / 64.0f, 3, 43, 4) - 0.5f);
        const float w = x + sway;
        const float across = w / 32.0f - std::floor(w / 32.0f);
        const int rib = int(std::floor(w / 32.0f)) & 7;
        const Rgb base = (rib & 1) ? hex(0xc07a3a) : hex(0xd0a050);
        // A rib's round back: light from the left, a highlight off its middle.
        const float round = std::sin(pi * across);
        Rgb p = base * (0.35f + 0.65f * round * (1.1f - 0.4f * across));
        p = screen(p,
                   hex(0xfff0d0) *
                       (0.55f * std::pow(std::max(0.0f, std::sin(pi * (across + 0.15f))), 18.0f)));
        p = p * (0.85f + 0.15f * std::sin(2 * pi * y / 256.0f * 2));
        const float r = std::hypot(x - 128, y - 128);
        const float ring = std::exp(-(r - 11) * (r - 11) / 9.0f);
        p = mix(p, hex(0xffe6a0), 0.85f * ring);
        return p;
    });
    return quantized(c, 0.1f);
}

} // namespace vantrose
