#include "content/hires.h"

#include <algorithm>
#include <cmath>

#include "content/lettering.h"
#include "content/quantize.h"
#include "content/scenery.h"
#include "content/text.h"

namespace vantrose {
namespace {

constexpr int width = 640, height = 480;

// The canvas below row `horizon` becomes a darkened, slightly rippled mirror of what is above.
void mirror_below(Canvas& c, int horizon, float strength, Rgb tint, uint32_t seed) {
    const Canvas above = c;
    for (int y = horizon; y < c.h; ++y) {
        const float depth = float(y - horizon) / float(c.h - horizon);
        for (int x = 0; x < c.w; ++x) {
            // Small horizontal wobble, growing towards the viewer.
            const float wob = (value_noise(x / 90.0f, y * 0.3f, seed) - 0.5f) * (1 + 3 * depth);
            const int sx = std::clamp(int(std::lround(x + wob)), 0, c.w - 1);
            const int sy = std::clamp(2 * horizon - y, 0, c.h - 1);
            const Rgb r = above.at(sx, sy) * (strength * (1 - 0.6f * depth));
            c.at(x, y) = r + tint * (0.3f + 0.7f * depth);
        }
    }
}

} // namespace

Art title_picture() {
    // "Quorv!" presents "Vantrose": a copper title over a violet horizon, stars above, a dark
    // mirror floor with a copper grid below.
    constexpr int horizon = 336;
    Canvas c(width, height);
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / height, v = float(y) / height;
            const float t = float(y) / horizon;
            Rgb p = gradient({{0.0f, hex(0x020210)},
                              {0.55f, hex(0x0c0a3c)},
                              {0.85f, hex(0x3a1466)},
                              {1.0f, hex(0xb04a8c)}},
                             t);
            const float wisps = smoothstep(0.5f, 0.8f, clouds(u * 1.6f, v * 3.2f, 101));
            p = p + hex(0x3a2a90) * (0.35f * wisps * (1 - t));
            p = screen(p, hex(0xe0e4ff) * (stars(float(x), float(y), 7, 0.5f, 103) * (1.1f - t)));
            // Glow on the horizon.
            p = screen(p, hex(0xff7ab0) * (0.7f * std::exp(-(horizon - y) / 18.0f)));
            c.at(x, y) = p;
        }
    // "Quorv!" in pale ice with a soft glow, "presents" beneath it.
    TextStyle group{sans_bold, 44, 1.0f, 4};
    const Mask q = text_mask_smooth("Quorv!", group, 3);
    const int qx = (width - q.w) / 2, qy = 52;
    add_glow(c, blur(pad(q, 24), 6), qx - 24, qy - 24, hex(0x4a7aff));
    paint(c, q, qx, qy, hex(0xe8f4ff));
    TextStyle presents{serif, 22, 1.0f, 6};
    presents.slant = 0.2f;
    const Mask pr = text_mask_smooth("presents", presents, 3, 2);
    paint(c, pr, (width - pr.w) / 2, 116, hex(0xb0b8f0));
    // The title in copper.
    TextStyle title{serif_bold, 120, 1.0f, 3};
    title.size *= 566.0f / float(text_width("Vantrose", title));
    const Mask t = text_mask_smooth("Vantrose", title, 2);
    Lettering copper;
    copper.face = {{0.0f, hex(0xfff0c8)},
                   {0.4f, hex(0xe8924c)},
                   {0.5f, hex(0x8a3a14)},
                   {0.56f, hex(0xb8602a)},
                   {1.0f, hex(0xffc080)}};
    copper.side = {{0.0f, hex(0x8a3c14)}, {1.0f, hex(0x1a0604)}};
    copper.depth = 12;
    copper.dx = 0.35f;
    copper.dy = 1.0f;
    copper.bevel = 3;
    copper.relief = 10;
    copper.specular = 1.0f;
    copper.outline = 2;
    copper.outline_colour = hex(0x06020a);
    const int tx = (width - t.w) / 2 - 2, ty = horizon - 40 - t.h;
    add_glow(c, blur(pad(t, 48), 14), tx - 48, ty + 6 - 48, hex(0x6a2a60));
    draw_lettering(c, t, tx, ty, copper);
    // A glint on the first letter's shoulder.
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = float(x - (tx + 38)), dy = float(y - (ty + 14));
            const float d = std::hypot(dx, dy);
            const float ray = std::exp(-std::fabs(dx) * 0.9f) * std::exp(-std::fabs(dy) / 16.0f) +
                              std::exp(-std::fabs(dy) * 0.9f) * std::exp(-std::fabs(dx) / 26.0f);
            c.at(x, y) = screen(c.at(x, y), hex(0xfff0d8) * (glow(d, 3.0f) + 0.8f * ray));
        }
    mirror_below(c, horizon, 0.5f, hex(0x050314), 107);
    // Copper grid on the mirror: lines converging on the middle of the horizon, fading into
    // the distance.
    for (int y = horizon; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dy = float(y - horizon) + 0.5f;
            // Eye 8 units above the floor, lines 5 units apart.
            const float depth = 2560.0f / dy;
            const float lateral = (float(x) - 319.5f) * 8.0f / dy;
            const float across = std::fabs(wrapd(lateral, 5)) / (8.0f / dy);
            const float along = std::fabs(wrapd(depth, 5)) / (2560.0f / (dy * dy));
            // At least two rows thick, so the 400-line mode cannot drop a whole line.
            const float line = std::max(cover(across - 0.6f), cover(along - 1.0f));
            const float fade = smoothstep(3.0f, 70.0f, dy);
            c.at(x, y) = screen(c.at(x, y), hex(0xd86a2a) * (0.8f * line * fade));
        }
    return quantized(c, 0.45f);
}

// Light of an aurora curtain whose lower hem runs along hem(x): bright at the hem, rays rising
// from it and fading upwards, folds along its length.
template <class Hem>
float curtain(float x, float y, Hem hem, float reach, float fold, uint32_t seed) {
    const float above = hem(x) - y;
    if (above < -4) return 0;
    const float rays = 0.35f + 0.65f * fbm(x / 4.0f, y / 260.0f, 3, seed);
    const float rise = std::exp(-std::max(0.0f, above) / reach) * smoothstep(-4.0f, 2.0f, above);
    const float hem_line = std::exp(-std::fabs(above - 6) / 6.0f);
    const float folds =
        0.45f +
        0.55f * std::pow(std::fabs(std::sin(x / fold + 1.3f * std::sin(x / (fold * 1.9f)))), 0.6f);
    return (rise * rays + 0.5f * hem_line) * folds;
}

// One range of mountains standing on `base`: the face below the crest is lit where the
// profile slopes down to the right (light from the left), snow on the crests, haze below.
struct Range {
    float base, height, scale, offset;
    uint32_t seed;
    Rgb rock, snow, haze;
    float snow_line; // pixels of snow below the crest
};

// Crest line of the range; fewer octaves give the broad shape of the flanks further down.
float range_crest(const Range& r, float x, float octaves = 6) {
    const float u = x / float(height) * r.scale + r.offset;
    float h = 0, amp = 1, norm = 0, f = 1;
    for (int o = 0; o < 6; ++o) {
        const float weight = clamp01(octaves - float(o));
        const float n = 1 - std::fabs(2 * value_noise(u * f, 0.5f, r.seed + uint32_t(o)) - 1);
        h += amp * mixf(0.5f, n, weight);
        norm += amp;
        amp *= 0.5f;
        f *= 2.2f;
    }
    return r.base - r.height * std::pow(h / norm, 2.2f);
}

Rgb range_face(const Range& r, float x, float y) {
    const float crest = range_crest(r, x);
    const float d = y - crest;
    // Near the crest the light follows every notch; lower down only the broad flanks.
    const float octaves = std::max(1.0f, 6.0f - d / 14.0f);
    const float step = 3.0f + d * 0.15f;
    const float slope =
        (range_crest(r, x + step, octaves) - range_crest(r, x - step, octaves)) / (2 * step);
    const float lit =
        clamp01(0.45f + 1.6f * slope + 0.25f * (fbm(x / 6.0f, y / 14.0f, 3, r.seed + 9) - 0.5f));
    const float snowy =
        smoothstep(r.snow_line, r.snow_line * 0.3f, d + 14 * fbm(x / 10.0f, 0.5f, 3, r.seed + 7));
    const Rgb face = mix(r.rock, r.snow, snowy) * (0.4f + 0.8f * lit);
    return mix(face, r.haze, smoothstep(0.0f, 70.0f, d));
}

Art aurora_picture() {
    // Ice: an aurora hanging over snow mountains, mirrored in a frozen lake.
    constexpr int horizon = 318;
    Canvas c(width, height);
    auto hem1 = [](float x) {
        return 176.0f + 40.0f * std::sin(x / 120.0f + 0.6f) +
               36.0f * (fbm(x / 150.0f, 0.3f, 3, 211) - 0.5f);
    };
    auto hem2 = [](float x) { return 104.0f + 26.0f * std::sin(x / 85.0f + 2.0f); };
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < width; ++x) {
            const float t = float(y) / horizon;
            Rgb p =
                gradient({{0.0f, hex(0x01030e)}, {0.6f, hex(0x061a3a)}, {1.0f, hex(0x1a4a6e)}}, t);
            p = screen(p, hex(0xdff0ff) * (0.9f * stars(float(x), float(y), 6, 0.5f, 213)));
            const float a2 = curtain(float(x), float(y), hem2, 60, 60, 219);
            p = screen(p, mix(hex(0x2a9a98), hex(0x4a2a90), clamp01((hem2(x) - y) / 80)) *
                              (0.45f * a2));
            const float a1 = curtain(float(x), float(y), hem1, 90, 90, 217);
            p = screen(p, mix(hex(0x6affc8), hex(0x8a50e8), clamp01((hem1(x) - y) / 130)) *
                              (0.95f * a1));
            c.at(x, y) = p;
        }
    const Range ranges[3] = {
        {float(horizon) - 18, 170, 1.4f, 0.0f, 223, hex(0x30507e), hex(0xe0f6ff), hex(0x1a3a60),
         50},
        {float(horizon) - 4, 110, 2.2f, 3.0f, 227, hex(0x1a3052), hex(0x9cc4e0), hex(0x0e2240), 26},
        {float(horizon) + 1, 52, 3.4f, 7.0f, 229, hex(0x08121e), hex(0x405a74), hex(0x050c18), 10}};
    for (const Range& r : ranges)
        for (int y = 0; y < horizon; ++y)
            for (int x = 0; x < width; ++x) {
                const float crest = range_crest(r, float(x));
                if (float(y) < crest - 1) continue;
                c.at(x, y) =
                    mix(c.at(x, y), range_face(r, float(x), float(y)), cover(crest - float(y)));
            }
    mirror_below(c, horizon, 0.6f, hex(0x020818), 231);
    // Ice on the lake: pale streaks and a few long cracks over the reflection.
    for (int y = horizon; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float depth = float(y - horizon) / float(height - horizon);
            const float streak = fbm(x / (60.0f + 240 * depth), y / 2.5f, 4, 233);
            const float crack_line =
                std::fabs(fbm(x / 90.0f, y / (4.0f + 14 * depth), 4, 237) - 0.5f);
            const float crack = smoothstep(0.012f, 0.0f, crack_line) * depth;
            Rgb p = c.at(x, y);
            p = screen(p,
                       hex(0x9ad8ff) * (0.22f * smoothstep(0.55f, 0.8f, streak) + 0.45f * crack));
            c.at(x, y) = p;
        }
    return quantized(c, 0.45f);
}

Art eclipse_picture() {
    // Fire: a dark world slides over its burning sun; the corona streams out, one bead of
    // light flares at the rim, and a cluster of small moons catches the glare.
    constexpr float cx = 380, cy = 190, r = 118;
    Canvas c(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = x - cx, dy = y - cy;
            const float d = std::hypot(dx, dy), th = std::atan2(dy, dx);
            Rgb p = mix(hex(0x080104), hex(0x1a0406), clamp01(float(y) / height));
            p = screen(p, hex(0xffd0a0) * (0.6f * stars(float(x), float(y), 8, 0.35f, 301)));
            // Corona: streamers of uneven length, brightest near the rim.
            const float stream = fbm(th * 5.0f, 0.5f, 4, 303, 0) * 0.8f +
                                 0.35f * std::pow(std::fabs(std::cos(th * 2.0f + 0.4f)), 3.0f);
            const float out = std::max(0.0f, d - r);
            const float corona = std::exp(-out / (18.0f + 110.0f * stream));
            p = screen(p, gradient(theme::fire, 0.55f + 0.45f * corona) * (1.1f * corona));
            p = screen(p, hex(0xff5a10) * (0.5f * glow(out, 60)));
            // The bead of light at the rim, with its long flare.
            const float bx = cx + r * std::cos(-2.3f), by = cy + r * std::sin(-2.3f);
            const float bd = std::hypot(x - bx, y - by);
            p = screen(p, hex(0xfff4d0) * (1.3f * glow(bd, 6.0f)));
            const float flare =
                std::exp(-std::fabs(float(y) - by) * 0.5f) * std::exp(-std::fabs(x - bx) / 160.0f);
            p = screen(p, hex(0xffb060) * (0.7f * flare));
            // The dark world: its night side faintly lit by the rim.
            const float inside = cover(d - r);
            const float rimlight = std::exp(-(r - std::min(d, r)) / 5.0f);
            const Rgb night = hex(0x050103) + hex(0x902810) * (0.6f * rimlight);
            p = mix(p, night, inside);
            c.at(x, y) = p;
        }
    // Small moons in the foreground, dark with a burning edge on the side of the sun.
    static const float moons[5][3] = {
        {96, 330, 46}, {190, 400, 26}, {60, 160, 18}, {560, 390, 34}, {246, 300, 12}};
    for (const auto& m : moons)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const float dx = x - m[0], dy = y - m[1], d = std::hypot(dx, dy);
                if (d > m[2] + 2) continue;
                const float lx = cx - m[0], ly = cy - m[1], ll = std::hypot(lx, ly);
                const SphereHit h =
                    sphere(float(x), float(y), m[0], m[1], m[2], lx / ll, ly / ll, -0.2f);
                Rgb p = hex(0x0a0204);
                if (h.hit) {
                    const float crater = fbm(dx / 7.0f + m[0], dy / 7.0f, 3, 307);
                    p = p + hex(0xff7a20) * (std::pow(h.light, 3.0f) * (0.8f + 0.4f * crater));
                    p = screen(p, hex(0xffe0a0) * std::pow(h.light, 12.0f));
                }
                c.at(x, y) = mix(c.at(x, y), p, cover(d - m[2]));
            }
    return quantized(c, 0.45f);
}

} // namespace vantrose
