#include "content/textures3d.h"

#include <algorithm>
#include <cmath>

#include "content/quantize.h"
#include "content/text.h"

namespace vantrose {
namespace {

constexpr int size = 256;
// Light dither: the shade table darkens and the span filler magnifies these texels.
constexpr float dither = 0.25f;

// Marble: a pale or dark stone with veins, from a seed.
Rgb marble(float x, float y, Rgb base, Rgb vein, uint32_t seed) {
    const float warp = fbm(x / 40.0f, y / 40.0f, 5, seed, 0);
    const float v = std::fabs(std::sin((x + y) / 22.0f + warp * 9.0f));
    const float cloud = fbm(x / 18.0f, y / 18.0f, 4, seed + 5, 0);
    Rgb p = base * (0.85f + 0.3f * cloud);
    return mix(p, vein, 0.6f * std::pow(1 - v, 6.0f));
}

} // namespace

Art floor_texture() {
    // A marble floor: pale ice-white and deep blue squares of 128 texels in a checkerboard,
    // bronze strips between them, a bronze star where four squares meet.
    Canvas c = render(size, size, 2, [](float x, float y) {
        const int tx = int(x) / 128, ty = int(y) / 128;
        const bool pale = ((tx + ty) & 1) == 0;
        Rgb p = pale ? marble(x, y, hex(0xd8e4f0), hex(0x8098c0), 3)
                     : marble(x, y, hex(0x3c4c9c), hex(0xa8b8f0), 4);
        // Bronze strips on the tile borders, bevelled.
        const float bx = std::fabs(wrapd(x, 128)), by = std::fabs(wrapd(y, 128));
        const float strip = std::min(bx, by);
        const Rgb bronze = mix(hex(0x8a6424), hex(0xf0d48a), smoothstep(3.5f, 0.0f, strip));
        p = mix(p, bronze, cover(strip - 3.5f));
        p = p * (0.75f + 0.25f * smoothstep(3.5f, 6.0f, strip));
        // The star on the crossing.
        const float r = std::sqrt(bx * bx + by * by), th = std::atan2(by, bx);
        const float star = 6 + 12 * std::pow(std::fabs(std::cos(2 * th)), 4.0f);
        p = mix(p, hex(0x402a0c), cover(r - star - 1.2f));
        p = mix(p, mix(hex(0xc89848), hex(0xfff0c0), clamp01(1 - r / 14)), cover(r - star));
        return p;
    });
    return quantized(c, dither);
}

Art metal_texture() {
    // Brushed steel in segments with bronze collars every 32 texels across the texture:
    // the rings and legs take their texels from the rows around the middle (t 120..136) and
    // show the segments along their length.
    Canvas c = render(size, size, 2, [](float x, float y) {
        const float brush = fbm(x / 64.0f, y * 1.5f, 4, 51, 4);
        const float band = 0.5f + 0.5f * std::sin(y / 256.0f * 2 * pi * 3);
        Rgb steel = mix(hex(0x8890a0), hex(0xd8e0f0), 0.4f * brush + 0.35f * band + 0.15f);
        const float cx = std::fabs(wrapd(x, 32));
        // Collar: a bronze ring with a bright top edge and a dark groove on both sides.
        const float collar = cover(cx - 5.0f);
        const Rgb bronze = mix(hex(0x8c5c20), hex(0xffd890), smoothstep(5.0f, 0.0f, cx) * 0.8f);
        steel = steel * (0.55f + 0.45f * smoothstep(5.0f, 8.0f, cx));
        return mix(steel, bronze, collar);
    });
    return quantized(c, dither);
}

Art plaque_texture() {
    // A bronze plaque. Its face spans s 27..229 and t 75..181 of the texture (model x and y):
    // a bevelled frame and the engraved title, drawn upside down in t because the far edge of
    // the lying plaque is its top as the viewer sees it.
    constexpr int x0 = 27, x1 = 229, y0 = 75, y1 = 181;
    Mask engraving(size, size);
    TextStyle big{serif_bold, 40, 0.95f, 2.0f};
    TextStyle small{serif_bold, 15, 1.0f, 1.5f};
    big.size *= 164.0f / float(text_width("VANTROSE", big));
    const Mask title = text_mask_smooth("VANTROSE", big, 3);
    const Mask group = text_mask_smooth("QUORV!  1998", small, 3);
    auto stamp = [&](const Mask& m, int top) {
        const int left = (x0 + x1 - m.w) / 2;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                // Upside down: the mask's first row goes to the largest t.
                const int tx = left + x, ty = top - y;
                if (tx >= 0 && ty >= 0 && tx < size && ty < size)
                    engraving.at(tx, ty) = std::max(engraving.at(tx, ty), m.at(x, y));
            }
    };
    // Both lines centred on the face's middle row, 128.
    const int top = 128 + (title.h + 6 + group.h) / 2;
    stamp(title, top);
    stamp(group, top - title.h - 6);
    // Relief: the face is raised inside the frame, the letters cut into it.
    Mask height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float fx = x + 0.5f, fy = y + 0.5f;
            const float inset = std::min({fx - x0, x1 - fx, fy - y0, y1 - fy});
            float h = smoothstep(0, 4, inset) * 0.6f + smoothstep(9, 12, inset) * 0.4f;
            h -= 0.35f * engraving.at(x, y);
            height.at(x, y) = h;
        }
    Mask gloss;
    const Mask light = relief_light(height, 5, -0.7f, 1.0f, &gloss, false);
    Canvas c(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float grain = fbm(x / 24.0f, y / 6.0f, 3, 61, 0);
            Rgb p = mix(hex(0xa87a38), hex(0xd8b066), grain) * light.at(x, y);
            // The cut letters hold dark patina.
            p = mix(p, hex(0x4a3010), 0.55f * engraving.at(x, y));
            c.at(x, y) = clamp01(screen(p, hex(0xfff4d0) * (0.5f * gloss.at(x, y))));
        }
    return quantized(c, dither);
}

Art planet_texture() {
    // A molten world seen white-hot: glowing cells of melt parted by cooler orange lanes, like a
    // star's face. The sphere takes the middle (s, t 73..183), the small polyhedra its very
    // centre. The light of the last 3D scene reaches most faces at a slant, so these colours are
    // kept near white: the shade table darkens them to the brightness of the other 3D scenes.
    Canvas c = render(size, size, 2, [](float x, float y) {
        constexpr float cell = size / 12.0f;
        const Cells k = cells(x / cell, y / cell, 71, 12, 0.9f);
        const float edge = (k.d2 - k.d1) * cell; // about the texels to the nearest lane
        const float churn = fbm(x / 10.0f, y / 10.0f, 4, 73, 0);
        const float tone = float(k.id >> 8) / 16777216.0f;
        const Rgb rim = mix(hex(0xffa848), hex(0xffbc60), tone);
        const Rgb core = mix(hex(0xffe498), hex(0xfff2c0), tone);
        const Rgb melt = mix(rim, core, smoothstep(0.0f, 9.0f, edge)) * (0.94f + 0.08f * churn);
        // The lanes between the cells: cooler, red-orange.
        return clamp01(mix(hex(0xf05a18), melt, smoothstep(0.3f, 2.4f, edge)));
    });
    return quantized(c, dither);
}

Art chrome_texture() {
    // Pale ice-blue bands in rings about the middle: the balls (s, t 97..159) show them as
    // latitudes, the tetrahedra the bright core. Near white for the same slanting light.
    Canvas c = render(size, size, 2, [](float x, float y) {
        const float dx = x - 128, dy = y - 128;
        const float r = std::sqrt(dx * dx + dy * dy);
        const float wobble = 2.5f * fbm(x / 20.0f, y / 20.0f, 3, 81, 0);
        const float band = 0.5f + 0.5f * std::cos((r + wobble) * 2 * pi / 10.0f);
        Rgb p = mix(hex(0x98b4f8), hex(0xf0f8ff), band);
        // A violet stripe every third band, thin bright rims between bands.
        const float third = 0.5f + 0.5f * std::cos((r + wobble) * 2 * pi / 30.0f);
        p = mix(p, hex(0xc0a8ff), 0.45f * smoothstep(0.8f, 1.0f, third));
        p = screen(p, hex(0xffffff) * (0.5f * std::pow(band, 12.0f)));
        return mix(hex(0xffffff), p, smoothstep(2.0f, 7.0f, r));
    });
    return quantized(c, dither);
}

} // namespace vantrose
