// Drawing helpers of the generator: float colour canvases, coverage masks, noise and shapes.
#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "content/archive_writer.h"

namespace vantrose {

// A colour with channels 0..1 (display levels, not linear light).
struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Rgb operator-(Rgb a, Rgb b) {
    return {a.r - b.r, a.g - b.g, a.b - b.b};
}
inline Rgb operator*(Rgb a, float k) {
    return {a.r * k, a.g * k, a.b * k};
}
inline Rgb operator*(Rgb a, Rgb b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}

// Hex colour 0xRRGGBB.
Rgb hex(uint32_t rgb);

inline float clamp01(float x) {
    return x < 0 ? 0 : (x > 1 ? 1 : x);
}
inline float mixf(float a, float b, float t) {
    return a + (b - a) * t;
}
inline Rgb mix(Rgb a, Rgb b, float t) {
    return a + (b - a) * t;
}
inline float smoothstep(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
// Coverage of a pixel by a shape whose signed distance (in pixels, negative inside) is d.
inline float cover(float d) {
    return clamp01(0.5f - d);
}
Rgb clamp01(Rgb c);
// Screen blend: brightens without going past white.
Rgb screen(Rgb a, Rgb b);

constexpr float pi = 3.14159265358979f;

// An image of float colours.
struct Canvas {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Canvas() = default;
    Canvas(int width, int height, Rgb fill = {}) : w(width), h(height), px(size_t(w) * h, fill) {}
    Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgb& at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// A coverage (or any scalar) plane.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;
    Mask() = default;
    Mask(int width, int height, float fill = 0) : w(width), h(height), a(size_t(w) * h, fill) {}
    float& at(int x, int y) { return a[size_t(y) * w + x]; }
    float at(int x, int y) const { return a[size_t(y) * w + x]; }
    // Clamped read outside the plane.
    float get(int x, int y) const;
    // Bilinear read at a fractional position (clamped at the edges).
    float sample(float x, float y) const;
};

// Palette-index picture.
struct Indexed {
    int w = 0, h = 0;
    Bytes px;
    Indexed() = default;
    Indexed(int width, int height, uint8_t fill = 0)
        : w(width), h(height), px(size_t(w) * h, fill) {}
    uint8_t& at(int x, int y) { return px[size_t(y) * w + x]; }
    uint8_t at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// Renders shade(x, y) with ss x ss samples per pixel (x, y are pixel coordinates, centres at .5).
template <class F> Canvas render(int w, int h, int ss, F shade) {
    Canvas c(w, h);
    const float inv = 1.0f / float(ss * ss);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb sum;
            for (int j = 0; j < ss; ++j)
                for (int i = 0; i < ss; ++i)
                    sum = sum + shade(x + (i + 0.5f) / ss, y + (j + 0.5f) / ss);
            c.at(x, y) = sum * inv;
        }
    return c;
}

// Paints colour over the canvas wherever the mask covers it (mask placed at ox, oy).
void paint(Canvas& c, const Mask& m, int ox, int oy, Rgb colour, float opacity = 1);
// Same, with the colour chosen per canvas pixel.
template <class F> void paint_with(Canvas& c, const Mask& m, int ox, int oy, F colour_at) {
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const int cx = x + ox, cy = y + oy;
            const float a = m.at(x, y);
            if (a <= 0 || cx < 0 || cy < 0 || cx >= c.w || cy >= c.h) continue;
            c.at(cx, cy) = mix(c.at(cx, cy), colour_at(cx, cy), clamp01(a));
        }
}
// Adds colour * mask (glows).
void add_glow(Canvas& c, const Mask& m, int ox, int oy, Rgb colour);

// Box blur of the given radius, applied `passes` times (three passes are close to a Gaussian).
Mask blur(const Mask& m, int radius, int passes = 3);
// Grows the mask by `radius` pixels (max over a disc), for outlines.
Mask dilate(const Mask& m, int radius);
// A mask with `pad` empty pixels added on every side.
Mask pad(const Mask& m, int pad);
// Mask scaled by an integer factor down (averaging), for supersampled shapes.
Mask downsample(const Mask& m, int factor);

// Light on a bevelled relief made from a coverage mask: returns per pixel a shade around 1
// (brighter on slopes facing the light at lx, ly, dimmer on the others) and, in `gloss`, a
// specular highlight 0..1. `height` scales the relief, `radius` sets the bevel width.
Mask bevel_light(const Mask& m, int radius, float height, float lx, float ly, Mask* gloss);
// The same light on a given height field; `wrap` treats it as tiling (textures).
Mask relief_light(const Mask& height, float relief, float lx, float ly, Mask* gloss,
                  bool wrap = false);

// Deterministic hashing and noise. A period > 0 makes the noise tile with that period.
uint32_t hash3(int x, int y, uint32_t seed);
float hash01(int x, int y, uint32_t seed);
float value_noise(float x, float y, uint32_t seed, int period = 0);
float fbm(float x, float y, int octaves, uint32_t seed, int period = 0, float gain = 0.5f);
// Distance to the nearest and second nearest feature point of a jittered grid (cells of 1).
struct Cells {
    float d1, d2;
    uint32_t id;
    float fx, fy; // nearest feature point
};
Cells cells(float x, float y, uint32_t seed, int period = 0, float jitter = 0.8f);

// Signed distances (negative inside).
float sd_circle(float x, float y, float cx, float cy, float r);
float sd_box(float x, float y, float cx, float cy, float hw, float hh, float radius = 0);
float sd_segment(float x, float y, float ax, float ay, float bx, float by);

// Shortest distance of a wrapped coordinate difference (period p).
inline float wrapd(float d, float p) {
    return d - p * std::round(d / p);
}

// The canvas reduced by an integer factor (averaging), for supersampled drawings.
Canvas downsample(const Canvas& c, int factor);

// Renders a scalar field with ss x ss samples per pixel.
template <class F> Mask render_scalar(int w, int h, int ss, F value) {
    Mask m(w, h);
    const float inv = 1.0f / float(ss * ss);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float sum = 0;
            for (int j = 0; j < ss; ++j)
                for (int i = 0; i < ss; ++i) sum += value(x + (i + 0.5f) / ss, y + (j + 0.5f) / ss);
            m.at(x, y) = sum * inv;
        }
    return m;
}

} // namespace vantrose
