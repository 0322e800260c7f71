#include "content/raster.h"

#include <algorithm>

namespace vantrose {

Rgb hex(uint32_t rgb) {
    return {float((rgb >> 16) & 255) / 255.0f, float((rgb >> 8) & 255) / 255.0f,
            float(rgb & 255) / 255.0f};
}

Rgb clamp01(Rgb c) {
    return {clamp01(c.r), clamp01(c.g), clamp01(c.b)};
}

Rgb screen(Rgb a, Rgb b) {
    return {1 - (1 - a.r) * (1 - clamp01(b.r)), 1 - (1 - a.g) * (1 - clamp01(b.g)),
            1 - (1 - a.b) * (1 - clamp01(b.b))};
}

float Mask::get(int x, int y) const {
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    return a[size_t(y) * w + x];
}

float Mask::sample(float x, float y) const {
    const float fx = std::floor(x), fy = std::floor(y);
    const int x0 = int(fx), y0 = int(fy);
    const float tx = x - fx, ty = y - fy;
    const float top = mixf(get(x0, y0), get(x0 + 1, y0), tx);
    const float bottom = mixf(get(x0, y0 + 1), get(x0 + 1, y0 + 1), tx);
    return mixf(top, bottom, ty);
}

void paint(Canvas& c, const Mask& m, int ox, int oy, Rgb colour, float opacity) {
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const int cx = x + ox, cy = y + oy;
            const float a = clamp01(m.at(x, y)) * opacity;
            if (a <= 0 || cx < 0 || cy < 0 || cx >= c.w || cy >= c.h) continue;
            c.at(cx, cy) = mix(c.at(cx, cy), colour, a);
        }
}

void add_glow(Canvas& c, const Mask& m, int ox, int oy, Rgb colour) {
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const int cx = x + ox, cy = y + oy;
            if (cx < 0 || cy < 0 || cx >= c.w || cy >= c.h) continue;
            c.at(cx, cy) = screen(c.at(cx, cy), colour * m.at(x, y));
        }
}

// One horizontal then one vertical running-sum pass.
static Mask box_pass(const Mask& m, int r) {
    Mask tmp(m.w, m.h), out(m.w, m.h);
    const float inv = 1.0f / float(2 * r + 1);
    for (int y = 0; y < m.h; ++y) {
        float sum = 0;
        for (int k = -r; k <= r; ++k) sum += m.get(k, y);
        for (int x = 0; x < m.w; ++x) {
            tmp.at(x, y) = sum * inv;
            sum += m.get(x + r + 1, y) - m.get(x - r, y);
        }
    }
    for (int x = 0; x < m.w; ++x) {
        float sum = 0;
        for (int k = -r; k <= r; ++k) sum += tmp.get(x, k);
        for (int y = 0; y < m.h; ++y) {
            out.at(x, y) = sum * inv;
            sum += tmp.get(x, y + r + 1) - tmp.get(x, y - r);
        }
    }
    return out;
}

Mask blur(const Mask& m, int radius, int passes) {
    if (radius <= 0) return m;
    Mask out = m;
    for (int p = 0; p < passes; ++p) out = box_pass(out, radius);
    return out;
}

Mask dilate(const Mask& m, int radius) {
    Mask out(m.w, m.h);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float best = 0;
            for (int j = -radius; j <= radius; ++j)
                for (int i = -radius; i <= radius; ++i) {
                    // Soft disc edge keeps the outline anti-aliased.
                    const float edge = clamp01(radius + 0.5f - std::sqrt(float(i * i + j * j)));
                    if (edge <= 0) continue;
                    const int sx = x + i, sy = y + j;
                    if (sx < 0 || sy < 0 || sx >= m.w || sy >= m.h) continue;
                    best = std::max(best, m.at(sx, sy) * edge);
                }
            out.at(x, y) = best;
        }
    return out;
}

Mask pad(const Mask& m, int p) {
    Mask out(m.w + 2 * p, m.h + 2 * p);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) out.at(x + p, y + p) = m.at(x, y);
    return out;
}

Mask downsample(const Mask& m, int f) {
    Mask out(m.w / f, m.h / f);
    const float inv = 1.0f / float(f * f);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            float sum = 0;
            for (int j = 0; j < f; ++j)
                for (int i = 0; i < f; ++i) sum += m.at(x * f + i, y * f + j);
            out.at(x, y) = sum * inv;
        }
    return out;
}

Mask relief_light(const Mask& hgt, float relief, float lx, float ly, Mask* gloss, bool wrap) {
    Mask out(hgt.w, hgt.h);
    if (gloss) *gloss = Mask(hgt.w, hgt.h);
    float L[3] = {lx, ly, 1.0f};
    const float ll = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
    for (float& v : L) v /= ll;
    float H[3] = {L[0], L[1], L[2] + 1.0f};
    const float hl = std::sqrt(H[0] * H[0] + H[1] * H[1] + H[2] * H[2]);
    for (float& v : H) v /= hl;
    auto at = [&](int x, int y) {
        if (wrap) return hgt.at((x + hgt.w) % hgt.w, (y + hgt.h) % hgt.h);
        return hgt.get(x, y);
    };
    for (int y = 0; y < hgt.h; ++y)
        for (int x = 0; x < hgt.w; ++x) {
            const float gx = (at(x + 1, y) - at(x - 1, y)) * 0.5f * relief;
            const float gy = (at(x, y + 1) - at(x, y - 1)) * 0.5f * relief;
            const float nl = std::sqrt(gx * gx + gy * gy + 1.0f);
            const float nx = -gx / nl, ny = -gy / nl, nz = 1.0f / nl;
            const float d = nx * L[0] + ny * L[1] + nz * L[2];
            out.at(x, y) = std::max(0.0f, d) / L[2];
            if (gloss) {
                const float s = std::max(0.0f, nx * H[0] + ny * H[1] + nz * H[2]);
                gloss->at(x, y) = std::pow(s, 40.0f);
            }
        }
    return out;
}

Mask bevel_light(const Mask& m, int radius, float height, float lx, float ly, Mask* gloss) {
    return relief_light(blur(m, radius, 3), height, lx, ly, gloss, false);
}

uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

float hash01(int x, int y, uint32_t seed) {
    return float(hash3(x, y, seed) >> 8) / 16777216.0f;
}

static int wrap_cell(int v, int period) {
    if (period <= 0) return v;
    v %= period;
    return v < 0 ? v + period : v;
}

float value_noise(float x, float y, uint32_t seed, int period) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int x0 = int(fx), y0 = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    auto v = [&](int i, int j) {
        return hash01(wrap_cell(x0 + i, period), wrap_cell(y0 + j, period), seed);
    };
    return mixf(mixf(v(0, 0), v(1, 0), tx), mixf(v(0, 1), v(1, 1), tx), ty);
}

float fbm(float x, float y, int octaves, uint32_t seed, int period, float gain) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * value_noise(x, y, seed + uint32_t(o) * 1013u, period);
        norm += amp;
        amp *= gain;
        x *= 2;
        y *= 2;
        if (period > 0) period *= 2;
    }
    return sum / norm;
}

Cells cells(float x, float y, uint32_t seed, int period, float jitter) {
    const int cx = int(std::floor(x)), cy = int(std::floor(y));
    Cells best{1e9f, 1e9f, 0, 0, 0};
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const int gx = cx + i, gy = cy + j;
            const int wx = wrap_cell(gx, period), wy = wrap_cell(gy, period);
            const float px = float(gx) + 0.5f + (hash01(wx, wy, seed) - 0.5f) * jitter;
            const float py = float(gy) + 0.5f + (hash01(wx, wy, seed ^ 0x55aa55u) - 0.5f) * jitter;
            const float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < best.d1) {
                best.d2 = best.d1;
                best.d1 = d;
                best.id = hash3(wx, wy, seed ^ 0x1234567u);
                best.fx = px;
                best.fy = py;
            } else if (d < best.d2) {
                best.d2 = d;
            }
        }
    return best;
}

float sd_circle(float x, float y, float cx, float cy, float r) {
    return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r;
}

float sd_box(float x, float y, float cx, float cy, float hw, float hh, float radius) {
    const float qx = std::fabs(x - cx) - hw + radius, qy = std::fabs(y - cy) - hh + radius;
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sd_segment(float x, float y, float ax, float ay, float bx, float by) {
    const float pax = x - ax, pay = y - ay, bax = bx - ax, bay = by - ay;
    const float len2 = bax * bax + bay * bay;
    const float t = len2 > 0 ? clamp01((pax * bax + pay * bay) / len2) : 0;
    const float dx = pax - bax * t, dy = pay - bay * t;
    return std::sqrt(dx * dx + dy * dy);
}

Canvas downsample(const Canvas& c, int f) {
    Canvas out(c.w / f, c.h / f);
    const float inv = 1.0f / float(f * f);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            Rgb sum;
            for (int j = 0; j < f; ++j)
                for (int i = 0; i < f; ++i) sum = sum + c.at(x * f + i, y * f + j);
            out.at(x, y) = sum * inv;
        }
    return out;
}
} // namespace vantrose
