#include "content/quantize.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vantrose {
namespace {

// Channel weights of the colour distance: the eye sees green steps best, blue the least.
constexpr float wr = 3, wg = 4, wb = 2;

struct Colour {
    float c[3];
    float weight;
};

float dist(const float* a, const float* b) {
    const float dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return wr * dr * dr + wg * dg * dg + wb * db * db;
}

struct Box {
    std::vector<int> members;
    float sse = 0;
    int axis = 0;
};

void measure(Box& box, const std::vector<Colour>& cols) {
    double w = 0, s[3] = {0, 0, 0}, s2[3] = {0, 0, 0};
    for (int m : box.members) {
        const Colour& c = cols[m];
        w += c.weight;
        for (int k = 0; k < 3; ++k) {
            s[k] += c.weight * c.c[k];
            s2[k] += c.weight * c.c[k] * c.c[k];
        }
    }
    const double weights[3] = {wr, wg, wb};
    box.sse = 0;
    double best = -1;
    for (int k = 0; k < 3; ++k) {
        const double var = w > 0 ? s2[k] - s[k] * s[k] / w : 0;
        box.sse += float(var * weights[k]);
        if (var * weights[k] > best) {
            best = var * weights[k];
            box.axis = k;
        }
    }
    if (box.members.size() < 2) box.sse = 0;
}

std::vector<std::array<float, 3>> median_cut(const std::vector<Colour>& cols, int count) {
    std::vector<Box> boxes(1);
    for (int i = 0; i < int(cols.size()); ++i) boxes[0].members.push_back(i);
    measure(boxes[0], cols);
    while (int(boxes.size()) < count) {
        int pick = -1;
        for (int i = 0; i < int(boxes.size()); ++i)
            if (boxes[i].sse > 0 && (pick < 0 || boxes[i].sse > boxes[pick].sse)) pick = i;
        if (pick < 0) break;
        Box& b = boxes[pick];
        const int axis = b.axis;
        std::sort(b.members.begin(), b.members.end(), [&](int x, int y) {
            if (cols[x].c[axis] != cols[y].c[axis]) return cols[x].c[axis] < cols[y].c[axis];
            return x < y;
        });
        float total = 0;
        for (int m : b.members) total += cols[m].weight;
        float run = 0;
        size_t cut = 1;
        for (size_t i = 0; i + 1 < b.members.size(); ++i) {
            run += cols[b.members[i]].weight;
            cut = i + 1;
            if (run >= total / 2) break;
        }
        Box other;
        other.members.assign(b.members.begin() + long(cut), b.members.end());
        b.members.resize(cut);
        measure(b, cols);
        measure(other, cols);
        boxes.push_back(std::move(other));
    }
    std::vector<std::array<float, 3>> centres;
    for (const Box& b : boxes) {
        double w = 0, s[3] = {0, 0, 0};
        for (int m : b.members) {
            w += cols[m].weight;
            for (int k = 0; k < 3; ++k) s[k] += cols[m].weight * cols[m].c[k];
        }
        centres.push_back({float(s[0] / w), float(s[1] / w), float(s[2] / w)});
    }
    return centres;
}

void refine(const std::vector<Colour>& cols, std::vector<std::array<float, 3>>& centres,
            int iterations) {
    std::vector<int> owner(cols.size());
    for (int it = 0; it < iterations; ++it) {
        for (size_t i = 0; i < cols.size(); ++i) {
            float best = 1e30f;
            for (size_t k = 0; k < centres.size(); ++k) {
                const float d = dist(cols[i].c, centres[k].data());
                if (d < best) {
                    best = d;
                    owner[i] = int(k);
                }
            }
        }
        std::vector<std::array<double, 4>> acc(centres.size(), {0, 0, 0, 0});
        for (size_t i = 0; i < cols.size(); ++i) {
            auto& a = acc[size_t(owner[i])];
            for (int k = 0; k < 3; ++k) a[size_t(k)] += cols[i].weight * cols[i].c[k];
            a[3] += cols[i].weight;
        }
        for (size_t k = 0; k < centres.size(); ++k)
            if (acc[k][3] > 0)
                for (int j = 0; j < 3; ++j)
                    centres[k][size_t(j)] = float(acc[k][size_t(j)] / acc[k][3]);
    }
}

int key6(float r, float g, float b) {
    auto q = [](float v) { return int(std::lround(std::clamp(v, 0.0f, 63.0f))); };
    return (q(r) << 12) | (q(g) << 6) | q(b);
}

} // namespace

Indexed quantize(const Canvas& c, Palette& pal, int first, int count, float dither,
                 const Mask* alpha) {
    auto opaque = [&](size_t i) { return !alpha || alpha->a[i] > 0; };
    std::vector<float> hist(64 * 64 * 64, 0);
    for (size_t i = 0; i < c.px.size(); ++i)
        if (opaque(i)) {
            const Rgb p = clamp01(c.px[i]);
            hist[size_t(key6(p.r * 63, p.g * 63, p.b * 63))] += 1;
        }
    std::vector<Colour> cols;
    for (int k = 0; k < 64 * 64 * 64; ++k)
        if (hist[size_t(k)] > 0)
            cols.push_back(
                {{float(k >> 12), float((k >> 6) & 63), float(k & 63)}, hist[size_t(k)]});
    std::vector<std::array<float, 3>> centres;
    if (!cols.empty()) {
        centres = median_cut(cols, count);
        refine(cols, centres, 4);
    }
    for (int k = 0; k < count; ++k) {
        const bool used = k < int(centres.size());
        for (int j = 0; j < 3; ++j)
            pal[size_t(first + k) * 3 + size_t(j)] =
                used ? uint8_t(std::lround(std::clamp(centres[size_t(k)][size_t(j)], 0.0f, 63.0f)))
                     : 0;
    }
    const int used = int(centres.size());
    std::vector<int16_t> nearest(64 * 64 * 64, -1);
    auto find = [&](float r, float g, float b) {
        const int key = key6(r, g, b);
        if (nearest[size_t(key)] < 0) {
            const float want[3] = {float(key >> 12), float((key >> 6) & 63), float(key & 63)};
            float best = 1e30f;
            int pick = 0;
            for (int k = 0; k < used; ++k) {
                const float have[3] = {float(pal[size_t(first + k) * 3]),
                                       float(pal[size_t(first + k) * 3 + 1]),
                                       float(pal[size_t(first + k) * 3 + 2])};
                const float d = dist(want, have);
                if (d < best) {
                    best = d;
                    pick = k;
                }
            }
            nearest[size_t(key)] = int16_t(pick);
        }
        return nearest[size_t(key)];
    };
    Indexed out(c.w, c.h);
    // Serpentine error diffusion over two rows of carried error.
    std::vector<std::array<float, 3>> err_now(size_t(c.w) + 2), err_next(size_t(c.w) + 2);
    for (int y = 0; y < c.h; ++y) {
        std::fill(err_next.begin(), err_next.end(), std::array<float, 3>{0, 0, 0});
        const bool ltr = (y & 1) == 0;
        for (int n = 0; n < c.w; ++n) {
            const int x = ltr ? n : c.w - 1 - n;
            const size_t i = size_t(y) * size_t(c.w) + size_t(x);
            if (!opaque(i)) {
                out.px[i] = 0;
                continue;
            }
            const Rgb p = clamp01(c.px[i]);
            const float want[3] = {p.r * 63 + err_now[size_t(x) + 1][0],
                                   p.g * 63 + err_now[size_t(x) + 1][1],
                                   p.b * 63 + err_now[size_t(x) + 1][2]};
            const int k = find(want[0], want[1], want[2]);
            out.px[i] = uint8_t(first + k);
            if (dither <= 0) continue;
            const int dir = ltr ? 1 : -1;
            for (int j = 0; j < 3; ++j) {
                float e = (want[j] - float(pal[size_t(first + k) * 3 + size_t(j)])) * dither;
                e = std::clamp(e, -8.0f, 8.0f);
                err_now[size_t(x + dir) + 1][size_t(j)] += e * 7 / 16;
                err_next[size_t(x - dir) + 1][size_t(j)] += e * 3 / 16;
                err_next[size_t(x) + 1][size_t(j)] += e * 5 / 16;
                err_next[size_t(x + dir) + 1][size_t(j)] += e * 1 / 16;
            }
        }
        std::swap(err_now, err_next);
    }
    return out;
}

Art quantized(const Canvas& c, float dither) {
    Art a;
    a.image = quantize(c, a.palette, 0, 256, dither);
    return a;
}

} // namespace vantrose
