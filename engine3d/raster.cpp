// The rasteriser: edges walked into two per-row tables, then Gouraud-shaded, affinely textured
// spans through the shade table into the three rows of each logical row of rgb_screen.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine3d/pipeline.h"
#include "runtime/buffers.h"

namespace vantrose {

namespace {

constexpr int32_t empty_row = -30000;
constexpr size_t frame_3d_bytes = 128000; // 400 physical rows of 320

// Edges of the current triangle walked so far, and the row spans of the first two.
uint32_t edges_walked = 0;
int64_t first_span = 0, second_span = 0;
// The rows the walks have stored into since the tables were last reset (all of them at the
// start): a triangle covers a few of the 133 rows, and only those need resetting and filling.
int32_t stored_from = 0, stored_to = logical_rows - 1;

// 16.16 arithmetic wraps like the 32-bit registers it was made for.
int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrap_sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t wrap_mul(int32_t a, uint32_t k) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * k);
}
// Signed division truncating toward zero; the divisor is at least 1.
int32_t step_of(int32_t from, int32_t to, int64_t divisor) {
    return static_cast<int32_t>(int64_t{wrap_sub(to, from)} / divisor);
}

} // namespace

void clear_frame_3d() {
    if (rgb_screen == nullptr) throw std::logic_error("clear_frame_3d: no rgb_screen");
    std::memset(rgb_screen, 0, frame_3d_bytes);
}

void reset_edge_tables() {
    for (int32_t r = stored_from; r <= stored_to; r++) {
        edge_table_a[r].x = empty_row;
        edge_table_b[r].x = empty_row;
    }
    stored_from = logical_rows;
    stored_to = -1;
    edges_walked = 0;
}

void walk_edge(const EdgePoint& first, const EdgePoint& second) {
    EdgePoint a = first, b = second;
    // A negative row counts as larger, so rows of one sign are walked from the upper end.
    if (static_cast<uint32_t>(a.y) > static_cast<uint32_t>(b.y)) std::swap(a, b);
    const int64_t ddx = int64_t{b.x} - a.x, ddy = int64_t{b.y} - a.y;
    const int64_t dx = ddx < 0 ? -ddx : ddx, dy = ddy < 0 ? -ddy : ddy;

    // The first edge (the tallest) fills table A, the second table B, the third goes with the
    // taller of the two.
    EdgeEntry* table;
    if (edges_walked == 0) {
        table = edge_table_a;
        first_span = dy;
    } else if (edges_walked == 1) {
        table = edge_table_b;
        second_span = dy;
    } else {
        table = first_span < second_span ? edge_table_a : edge_table_b;
    }
    edges_walked++;

    // Bresenham: the major axis moves every step; the minor one on the steps where err >= 0.
    const bool x_major = dx >= dy;
    const int64_t major = x_major ? dx : dy, minor = x_major ? dy : dx;
    const int64_t steps = major + 1;
    const int64_t err0 = 2 * minor - major;
    const int32_t d_i = step_of(a.intensity, b.intensity, steps);
    const int32_t d_u = step_of(a.u, b.u, steps);
    const int32_t d_v = step_of(a.v, b.v, steps);
    const int64_t step_x = a.x > b.x ? -1 : 1;
    const int64_t step_row = a.y > b.y ? -1 : 1;

    int64_t n = 0, err = err0, x = a.x, row = a.y;
    int32_t intensity = a.intensity, u = a.u, v = a.v;

    // The state after n steps in closed form: err stays in [2 minor - 2 major, 2 minor), so
    // the minor axis has moved floor((2 minor n + major) / (2 major)) times.
    auto jump_to = [&](int64_t to) {
        const __int128 moved =
            major == 0 ? 0 : (__int128{2 * minor} * to + major) / (__int128{2} * major);
        err = static_cast<int64_t>(err0 + __int128{2 * minor} * to - __int128{2 * major} * moved);
        const int64_t m = static_cast<int64_t>(moved);
        x = a.x + step_x * (x_major ? to : m);
        row = a.y + step_row * (x_major ? m : to);
        const uint32_t k = static_cast<uint32_t>(to);
        intensity = wrap_add(a.intensity, wrap_mul(d_i, k));
        u = wrap_add(a.u, wrap_mul(d_u, k));
        v = wrap_add(a.v, wrap_mul(d_v, k));
        n = to;
    };

    // Rows before the raster are walked but not stored: go straight to the first step that
    // reaches row 0 (or 132 walking up).
    const int64_t entry_row = step_row > 0 ? 0 : logical_rows - 1;
    if ((step_row > 0 && row < 0) || (step_row < 0 && row >= logical_rows)) {
        if (dy == 0) return;
        const int64_t rows = entry_row > row ? entry_row - row : row - entry_row;
        // x-major: the first step whose minor moves reach `rows`.
        const int64_t to =
            x_major ? static_cast<int64_t>((__int128{2 * dx} * rows - dx + 2 * dy - 1) / (2 * dy))
                    : rows;
        if (to >= steps) return;
        jump_to(to);
    }

    while (n < steps) {
        if (row < 0 || row >= logical_rows) return; // walking away from the raster from here
        table[row] = {static_cast<int32_t>(x), intensity, u, v};
        stored_from = std::min(stored_from, static_cast<int32_t>(row));
        stored_to = std::max(stored_to, static_cast<int32_t>(row));
        if (dy == 0) return; // the row never changes: nothing more is stored
        // Step until the row changes or the steps run out; only the first point of a row counts.
        if (x_major) {
            if (err < 0) {
                const int64_t run = 1 + (-err - 1) / (2 * dy); // steps that keep the row
                if (n + run > steps) return;
                n += run;
                err += 2 * dy * run;
                x += step_x * run;
                const uint32_t k = static_cast<uint32_t>(run);
                intensity = wrap_add(intensity, wrap_mul(d_i, k));
                u = wrap_add(u, wrap_mul(d_u, k));
                v = wrap_add(v, wrap_mul(d_v, k));
            }
            err += 2 * (dy - dx);
            x += step_x;
        } else {
            if (err < 0) {
                err += 2 * dx;
            } else {
                err += 2 * (dx - dy);
                x += step_x;
            }
        }
        n++;
        row += step_row;
        intensity = wrap_add(intensity, d_i);
        u = wrap_add(u, d_u);
        v = wrap_add(v, d_v);
    }
}

void fill_spans(int32_t texture) {
    if (texture != 0 && texture != 1)
        throw std::out_of_range("fill_spans: texture " + std::to_string(texture));
    if (texture_block == nullptr || rgb_screen == nullptr)
        throw std::logic_error("fill_spans: no texture block or no rgb_screen");
    const uint8_t* texels = texture_block + 65536 * texture;
    const uint8_t* shades = shade_table + 256 * 256 * 3 * texture;

    // Every other row is empty in both tables.
    for (int32_t r = stored_from; r <= stored_to; r++) {
        const EdgeEntry& ea = edge_table_a[r];
        if (ea.x == empty_row) continue; // both tables cover the same rows
        const EdgeEntry& eb = edge_table_b[r];
        const bool b_left = eb.x < ea.x;
        const EdgeEntry& left = b_left ? eb : ea;
        const EdgeEntry& right = b_left ? ea : eb;
        int32_t xl = left.x, xr = right.x;
        int32_t d_i, d_u, d_v;
        if (xl == xr) {
            d_i = wrap_sub(right.intensity, left.intensity);
            d_u = wrap_sub(right.u, left.u);
            d_v = wrap_sub(right.v, left.v);
        } else {
            const int64_t width = int64_t{xr} - xl;
            d_i = step_of(left.intensity, right.intensity, width);
            d_u = step_of(left.u, right.u, width);
            d_v = step_of(left.v, right.v, width);
        }
        if (xr < 0 || xl > 319) continue;
        uint32_t intensity = static_cast<uint32_t>(left.intensity);
        uint32_t u = static_cast<uint32_t>(left.u), v = static_cast<uint32_t>(left.v);
        if (xl < 0) {
            const uint32_t skipped = static_cast<uint32_t>(-int64_t{xl});
            intensity += static_cast<uint32_t>(wrap_mul(d_i, skipped));
            u += static_cast<uint32_t>(wrap_mul(d_u, skipped));
            v += static_cast<uint32_t>(wrap_mul(d_v, skipped));
            xl = 0;
        }
        if (xr >= 320) xr = 319;

        uint8_t* red = rgb_screen + 960 * r;
        uint8_t* blue = red + 320;
        uint8_t* green = red + 640;
        const uint32_t step_i = static_cast<uint32_t>(d_i);
        const uint32_t step_u = static_cast<uint32_t>(d_u), step_v = static_cast<uint32_t>(d_v);
        // The masks keep stray table values (walk overshoot, a stale table B entry) inside the
        // texture and the shade table; values between corner values are never changed by them.
        for (int32_t x = xl; x <= xr; x++) {
            const uint32_t texel = ((v >> 8) & 0xFF00u) | ((u >> 16) & 0xFFu);
            const uint8_t* e =
                shades + 3 * ((uint32_t{texels[texel]} << 8) | ((intensity >> 16) & 0xFFu));
            red[x] = e[0];
            blue[x] = e[2];
            green[x] = e[1];
            intensity += step_i;
            u += step_u;
            v += step_v;
        }
    }
}

void draw_triangle(const TriangleSetup& face) {
    const EdgePoint* ends = face.corner;
    reset_edge_tables();
    walk_edge(ends[0], ends[1]);
    walk_edge(ends[1], ends[2]);
    walk_edge(ends[2], ends[0]);
    fill_spans(face.texture);
}

} // namespace vantrose
