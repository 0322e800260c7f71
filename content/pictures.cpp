#include "content/pictures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "content/cycles.h"
#include "content/lettering.h"
#include "content/quantize.h"
#include "content/scenery.h"
#include "content/text.h"

namespace vantrose {
namespace {

constexpr int width = 320, height = 200;

// Draws text centred on column cx with its top at row y.
void centred_text(Canvas& c, const std::string& s, const TextStyle& style, float cx, int y,
                  Rgb colour) {
    const Mask m = text_mask(s, style, 1);
    paint(c, m, int(std::lround(cx - m.w / 2.0f)), y, colour);
}

} // namespace

Art blank_picture() {
    Art a;
    a.image = Indexed(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) a.image.at(x, y) = uint8_t(y * 255 / (height - 1));
    put_ramp(a.palette, 0, 256, theme::night);
    return a;
}

Art nebula_picture() {
    // Deep space: a violet and blue nebula with a dark lane of dust, a field of stars, a few
    // bright ones, and the edge of a banded planet rising at the lower left.
    Canvas c = render(width, height, 2, [](float x, float y) {
        const float u = x / height, v = y / height;
        Rgb p = mix(hex(0x020310), hex(0x080a2c), v);
        const float cloud = clouds(u * 2.0f, v * 2.0f, 17);
        const float dense = smoothstep(0.42f, 0.78f, cloud);
        const float tint = fbm(u * 3, v * 3, 3, 19);
        Rgb gas = mix(hex(0x2a3cb0), hex(0x8a3ccc), tint);
        gas = mix(gas, hex(0xe08ad8), smoothstep(0.7f, 0.9f, cloud) * 0.7f);
        // Brightest where the gas sits across the upper right.
        const float reach = smoothstep(1.3f, 0.2f, std::hypot(u - 1.15f, v - 0.3f));
        p = p + gas * (dense * (0.35f + 0.75f * reach));
        const float dust = smoothstep(0.5f, 0.75f, clouds(u * 3.5f + 4, v * 3.5f, 23));
        p = p * (1 - 0.65f * dust * reach);
        const float s = stars(x, y, 5.0f, 0.45f, 29) * (1 - 0.7f * dust);
        p = screen(p, hex(0xdde4ff) * s);
        // A few large stars with glow and four spikes.
        static const float big[4][3] = {
            {232, 40, 1.0f}, {282, 120, 0.7f}, {150, 22, 0.6f}, {30, 30, 0.5f}};
        for (const auto& b : big) {
            const float dx = x - b[0], dy = y - b[1], d = std::hypot(dx, dy);
            const float spikes = std::exp(-std::fabs(dx) * 1.4f) * std::exp(-std::fabs(dy) / 9.0f) +
                                 std::exp(-std::fabs(dy) * 1.4f) * std::exp(-std::fabs(dx) / 9.0f);
            p = screen(p, hex(0xe8e0ff) * (b[2] * (glow(d, 1.6f) + 0.5f * spikes)));
        }
        // The planet, lit from the upper right, with a violet rim of air.
        const SphereHit h = sphere(x, y, 40, 300, 170, 0.9f, -0.7f, 0.35f);
        const float air = std::hypot(x - 40, y - 300) - 170;
        if (h.hit) {
            const float lat = h.ny * 3.0f + 0.35f * fbm(h.nx * 4, h.ny * 12, 4, 31);
            const float band = 0.5f + 0.5f * std::sin(lat * 7.0f);
            Rgb ground = mix(hex(0x101a50), hex(0x4a58b0), band);
            ground = ground * (0.05f + 0.9f * h.light * h.light);
            const float edge = std::pow(h.rim, 14.0f) * (0.2f + h.light) * 0.7f;
            p = screen(ground, hex(0xb080ff) * edge);
            p = p * cover(air);
            p = p + Rgb{0.01f, 0.01f, 0.03f};
        }
        // The air glows beyond the limb and thins quickly inside it.
        const float halo = std::exp(air > 0 ? -air / 6.0f : air / 2.5f) *
                           clamp01(0.2f + (x - 40) / 170.0f * 0.6f - (y - 300) / 170.0f * 0.4f);
        return screen(p, hex(0x8a60f0) * (0.55f * halo));
    });
    return quantized(c, 0.4f);
}

Art credit_card(int which) {
    struct Card {
        const char* role;
        const char* name;
        const char* foot;
    };
    static const Card cards[4] = {{"code", "Kelvane", "Quorv!"},
                                  {"graphics", "Mirrow", "Quorv!"},
                                  {"music", "Tonsk", "Quorv!"},
                                  {"released at", "Lumenfest", "PC demo competition 1998"}};
    const Card& card = cards[which & 3];
    constexpr int ss = 2;
    Canvas c = render(width * ss, height * ss, 1, [&](float x, float y) {
        const float u = x / (width * ss) - 0.5f, v = y / (height * ss) - 0.45f;
        const float r = std::sqrt(u * u + v * v * 0.6f);
        Rgb p = mix(hex(0x241450), hex(0x04030c), smoothstep(0.0f, 0.6f, r));
        // Fine diagonal engraving lines.
        const float line = std::fabs(std::sin((x + y) * pi / (6.0f * ss)));
        p = p * (0.85f + 0.15f * line);
        return p;
    });
    // Copper rules above and below, two rows thick: the display leaves out every third row.
    for (int y : {33 * ss, 165 * ss})
        for (int x = 40 * ss; x < 280 * ss; ++x)
            for (int k = 0; k < 2 * ss; ++k) {
                const float fade = smoothstep(40.0f * ss, 90.0f * ss, float(x)) *
                                   smoothstep(280.0f * ss, 230.0f * ss, float(x));
                c.at(x, y + k) = mix(c.at(x, y + k), hex(0xd88a4a), fade);
            }
    TextStyle role{sans_bold, 15.0f * ss, 1.0f, 3.0f * ss};
    centred_text(c, card.role, role, width * ss / 2.0f, 48 * ss, hex(0xe0f4ff));
    TextStyle name{serif_bold, 64.0f * ss, 1.0f, 1.0f * ss};
    name.size *= std::min(1.0f, float(268 * ss) / float(text_width(card.name, name)));
    const Mask m = text_mask(card.name, name);
    const int nx = (width * ss - m.w) / 2, ny = (104 * ss) - m.h / 2;
    // A warm glow behind the name lifts it off the card.
    const int spread = 24 * ss;
    add_glow(c, blur(pad(m, spread), 8 * ss), nx - spread, ny - spread, hex(0x6a2a18));
    Lettering copper;
    copper.face = {{0.0f, hex(0xffe0a8)},
                   {0.45f, hex(0xe08a48)},
                   {0.55f, hex(0xa04c1c)},
                   {1.0f, hex(0xf0a060)}};
    copper.side = {{0.0f, hex(0x7a3412)}, {1.0f, hex(0x200a04)}};
    copper.depth = 4 * ss;
    copper.bevel = 2 * ss;
    copper.outline = ss;
    copper.outline_colour = hex(0x000000);
    draw_lettering(c, m, nx, ny, copper);
    TextStyle foot{sans_bold, 11.0f * ss, 1.0f, 1.5f * ss};
    centred_text(c, card.foot, foot, width * ss / 2.0f, 144 * ss, hex(0xa8b0e8));
    return quantized(downsample(c, ss), 0.3f);
}

Art sunset_picture() {
    // A fire sky over the sea: a striped sun on the horizon, bands of cloud lit from below,
    // its road of light on the water, dark rocks on both sides.
    constexpr float horizon = 128;
    constexpr float sun_x = 196, sun_y = 112, sun_r = 38;
    Canvas c = render(width, height, 2, [&](float x, float y) {
        const float u = x / height, v = y / height;
        Rgb p;
        if (y < horizon) {
            const float t = y / horizon;
            p = gradient({{0.0f, hex(0x14020a)},
                          {0.45f, hex(0x5a0a10)},
                          {0.8f, hex(0xc8380c)},
                          {1.0f, hex(0xffa030)}},
                         t);
            const float d = std::hypot(x - sun_x, y - sun_y);
            p = screen(p, hex(0xff8020) * (0.9f * glow(d, 40)));
            // The sun, cut by widening dark stripes towards its foot.
            const float stripe = std::fmod(horizon - y, 9.0f);
            const float gap = std::max(0.0f, (y - (sun_y - 12)) / 7.0f);
            const bool cut = y > sun_y - 12 && stripe < gap;
            if (!cut) {
                const Rgb disc =
                    mix(hex(0xfff6c0), hex(0xffb030), clamp01((y - (sun_y - sun_r)) / (2 * sun_r)));
                p = mix(p, disc, cover(d - sun_r));
            }
            // Long clouds, dark, their lower edges lit.
            const float cl = fbm(u * 1.2f, v * 9.0f, 5, 37);
            const float band = smoothstep(0.55f, 0.68f, cl) * smoothstep(0.1f, 0.5f, t);
            const float lit = smoothstep(0.68f, 0.58f, fbm(u * 1.2f, (v + 0.012f) * 9.0f, 5, 37));
            const Rgb cloud =
                mix(hex(0x3a0614), hex(0xffb048), lit * glow(std::fabs(x - sun_x), 120));
            p = mix(p, cloud, band * 0.9f);
        } else {
            const float depth = (y - horizon) / (height - horizon);
            p = mix(hex(0xa02a10), hex(0x1a0410), std::pow(depth, 0.6f));
            // Ripples catching the sun: short horizontal streaks, densest in the sun's column.
            const float wave =
                value_noise(x / (2 + 7 * depth), (y - horizon) / (0.7f + 2.0f * depth), 41);
            const float column = glow(std::fabs(x - sun_x), 16 + 50 * depth);
            const float glint = smoothstep(0.6f, 0.75f, wave) * column;
            p = screen(p, hex(0xffc050) * (1.2f * glint));
            p = screen(p, hex(0xc04010) * (0.6f * column * (1 - depth)));
            // Darker troughs between the waves everywhere.
            p = p * (0.8f + 0.3f * wave);
        }
        // Far rocks standing on the horizon: a headland on the left, an islet on the right.
        const float left = ridge(u * 2.0f, horizon + 1, 64 * smoothstep(0.8f, 0.15f, u), 0.55f, 43);
        const float islet = smoothstep(1.2f, 1.38f, u) * smoothstep(1.62f, 1.45f, u);
        const float right = ridge(u * 3.0f + 5, horizon + 1, 24 * islet, 0.5f, 47);
        const float land = cover(y - (horizon + 1));
        const float rock = std::max(cover(left - y), cover(right - y)) * land;
        return mix(p, hex(0x0c0206), rock);
    });
    return quantized(c, 0.4f);
}

Art rings_picture() {
    // An index field for the cycled palette: rings that run outwards as the colours rotate,
    // six-fold petals winding through them, and a star whose inside runs half a cycle apart.
    Art a;
    a.palette = rings_cycle();
    a.image = Indexed(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = x - 159.5f, dy = y - 99.5f;
            const float r = std::sqrt(dx * dx + dy * dy) + 1, th = std::atan2(dy, dx);
            float f = 90.0f * std::log(r) + 14.0f * std::cos(6 * th + 2.0f * std::log(r));
            const float star = 38 + 22 * std::pow(std::fabs(std::cos(3 * th)), 3.0f);
            if (r < star) f += 32; // half a colour cycle: the star stands out in every phase
            a.image.at(x, y) = uint8_t(long(std::floor(f)) & 255);
        }
    return a;
}

Art spiral_picture() {
    // An index field for the flame palette: two logarithmic spiral arms; rotating the palette
    // pours the flames along them.
    Art a;
    a.palette = flame_cycle();
    a.image = Indexed(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = x - 159.5f, dy = y - 99.5f;
            const float r = std::sqrt(dx * dx + dy * dy) + 1, th = std::atan2(dy, dx);
            const float turbulence = 18.0f * fbm(x / 24.0f, y / 24.0f, 3, 53);
            const float f = 256.0f * 2 * th / (2 * pi) + 110.0f * std::log(r) + turbulence;
            a.image.at(x, y) = uint8_t(long(std::floor(f)) & 255);
        }
    return a;
}

Art pool_picture() {
    // The floor of a clear pool seen through the water: rounded pebbles and the net of light
    // the surface throws on them. One ramp, dark to bright, kept clear of its ends so that
    // the ripple's shifts of -17..16 stay on it.
    constexpr int low = 20, high = 235;
    Mask level = render_scalar(width, height, 2, [](float x, float y) {
        const Cells k = cells(x / 21.0f, y / 21.0f, 61, 0, 0.85f);
        const float gap = (k.d2 - k.d1) * 21.0f;
        const float tone = float(k.id >> 8) / 16777216.0f;
        // Pebble dome: high in the middle, falling to the gaps; lit from the upper left.
        const float dome = smoothstep(0.0f, 6.0f, gap);
        const float lx = (x / 21.0f - k.fx), ly = (y / 21.0f - k.fy);
        const float lit = clamp01(0.6f - 0.9f * (lx + ly)) * dome;
        float v = 0.12f + 0.2f * tone + 0.35f * lit;
        v *= 0.55f + 0.45f * dome;
        // Caustics: two nets of bright lines, drifting over one another.
        const float wx = 0.4f * fbm(x / 40.0f, y / 40.0f, 3, 63),
                    wy = 0.4f * fbm(x / 40.0f + 7, y / 40.0f, 3, 64);
        const Cells c1 = cells(x / 34.0f + wx, y / 34.0f + wy, 65, 0, 1.0f);
        const Cells c2 = cells(x / 19.0f + wy, y / 19.0f - wx, 66, 0, 1.0f);
        const float net =
            std::exp(-(c1.d2 - c1.d1) * 9.0f) + 0.6f * std::exp(-(c2.d2 - c2.d1) * 8.0f);
        v += 0.32f * net;
        // The light fades towards the deep end at the top.
        return v * (0.65f + 0.35f * (y / height));
    });
    Art a;
    a.image = Indexed(width, height);
    put_ramp(a.palette, 0, 256, theme::ice);
    for (size_t i = 0; i < level.a.size(); ++i)
        a.image.px[i] = uint8_t(low + std::lround(clamp01(level.a[i]) * float(high - low)));
    return a;
}

} // namespace vantrose
