#include "effects2d/layered_rotozoom.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace vantrose {

int16_t rot_sin[256];
int16_t rot_cos[256];
int16_t rot_cos_y[256];
int16_t rot_nsin_y[256];

LayeredRotozoomState layered_rotozoom_1;
LayeredRotozoomState layered_rotozoom_2;

namespace {

constexpr double pi_value = 3.14159; // the show's angle constant

// Filled before main: every effect may read the tables from its first frame on.
// The vertical tables are 1.2 times the horizontal ones, for the 4:3 shape of a 320x200 frame.
[[maybe_unused]] const bool rotation_tables_built = [] {
    for (int i = 0; i < 256; ++i) {
        const double t = 2.0 * pi_value * i / 256.0;
        rot_sin[i] = static_cast<int16_t>(std::lround(256.0 * std::sin(t)));
        rot_cos[i] = static_cast<int16_t>(std::lround(256.0 * std::cos(t)));
        rot_cos_y[i] = static_cast<int16_t>(std::lround(307.2 * std::cos(t)));
        rot_nsin_y[i] = static_cast<int16_t>(std::lround(-307.2 * std::sin(t)));
    }
    return true;
}();

constexpr int16_t start_zoom[5] = {2750, 2200, 1650, 1100, 550};
constexpr int16_t zoom_step = 55;
constexpr uint16_t frames_per_shift = 10;
constexpr uint8_t transparent_index = 0;

// Low 16 bits of (entry * zoom) >> 8, arithmetic shift of the 32-bit product.
inline uint32_t grid_step(int16_t entry, int16_t zoom) {
    return static_cast<uint16_t>((int32_t{entry} * int32_t{zoom}) >> 8);
}

// Coordinates are kept in 32 bits and only their low 16 bits are used: the wrap at 65536 is the
// texture's tiling.
inline uint8_t texel(const uint8_t* texture, uint32_t u, uint32_t v) {
    return texture[(v & 0xFF00u) | ((u >> 8) & 0xFFu)];
}

// One layer's walk through the texture: the row start and the steps along and down.
struct GridWalk {
    uint32_t du_dx, dv_dx, du_dy, dv_dy, row_u, row_v;
};

GridWalk grid_walk(uint16_t u_base, uint16_t v_base, uint8_t angle, int16_t zoom) {
    GridWalk w;
    w.du_dx = grid_step(rot_cos[angle], zoom);
    w.dv_dx = grid_step(rot_sin[angle], zoom);
    w.du_dy = grid_step(rot_nsin_y[angle], zoom);
    w.dv_dy = grid_step(rot_cos_y[angle], zoom);
    w.row_u = u_base - 80u * w.du_dx - 50u * w.du_dy;
    w.row_v = v_base - 80u * w.dv_dx - 50u * w.dv_dy;
    return w;
}

// Two cells, left first, as the four pixels of a row.
inline void put_cells(uint8_t* top, uint8_t* bottom, uint32_t left, uint32_t right) {
    static_assert(std::endian::native == std::endian::little, "cell pairs are stored left first");
    const uint32_t quad = (left | right << 16) * 0x0101u;
    std::memcpy(top, &quad, 4);
    std::memcpy(bottom, &quad, 4);
}

// The five layers far to near in one pass: each cell is the nearest layer's texel that is not
// index 0, else the far layer's, whatever that is; the frame is written once.
void sample_layers(const uint8_t* texture, uint8_t* frame, const RotozoomLayer* layers) {
    GridWalk w[5];
    for (int k = 0; k < 5; ++k) w[k] = grid_walk(0, 0, layers[k].angle, layers[k].zoom);
    for (int j = 0; j < 100; ++j) {
        uint8_t* top = frame + 640 * j;
        uint32_t u[5], v[5];
        for (int k = 0; k < 5; ++k) {
            u[k] = w[k].row_u + static_cast<uint32_t>(j) * w[k].du_dy;
            v[k] = w[k].row_v + static_cast<uint32_t>(j) * w[k].dv_dy;
        }
        auto next_cell = [&] {
            uint32_t cell = 0;
            for (int k = 0; k < 5; ++k) {
                u[k] += w[k].du_dx;
                v[k] += w[k].dv_dx;
                const uint32_t t = texel(texture, u[k], v[k]);
                cell = k == 0 || t != transparent_index ? t : cell;
            }
            return cell;
        };
        for (int i = 0; i < 160; i += 2) {
            const uint32_t left = next_cell();
            const uint32_t right = next_cell();
            put_cells(top + 2 * i, top + 320 + 2 * i, left, right);
        }
    }
}

} // namespace

void sample_grid(const uint8_t* texture, uint8_t* frame, uint16_t u_base, uint16_t v_base,
                 uint8_t angle, int16_t zoom) {
    const GridWalk w = grid_walk(u_base, v_base, angle, zoom);
    uint32_t row_u = w.row_u, row_v = w.row_v;
    for (int j = 0; j < 100; ++j, row_u += w.du_dy, row_v += w.dv_dy) {
        uint8_t* top = frame + 640 * j;
        uint32_t u = row_u, v = row_v;
        // One step along the row, then the cell there.
        auto next_cell = [&] {
            u += w.du_dx;
            v += w.dv_dx;
            return texel(texture, u, v);
        };
        for (int i = 0; i < 160; i += 2) {
            const uint32_t left = next_cell();
            const uint32_t right = next_cell();
            put_cells(top + 2 * i, top + 320 + 2 * i, left, right);
        }
    }
}

void layered_rotozoom_init(LayeredRotozoomState& state) {
    for (int k = 0; k < 5; ++k) {
        state.layer[k].angle = static_cast<uint8_t>(16 * k);
        state.layer[k].zoom = start_zoom[k];
    }
    state.countdown = frames_per_shift;
}

void layered_rotozoom_frame(LayeredRotozoomState& state, const uint8_t* texture, uint8_t* frame) {
    // Far to near; layer 0 covers the whole frame, the nearer ones let it show through index 0.
    sample_layers(texture, frame, state.layer);
    for (RotozoomLayer& layer : state.layer) {
        layer.angle = static_cast<uint8_t>(layer.angle + 1);
        layer.zoom = static_cast<int16_t>(layer.zoom - zoom_step);
    }
    state.countdown = static_cast<uint16_t>(state.countdown - 1);
    if (state.countdown != 0) return;

    // Every zoom has fallen by exactly one layer's spacing: move each layer one place nearer
    // and bring in a new far layer, without a visible jump.
    for (int k = 4; k > 0; --k) state.layer[k].angle = state.layer[k - 1].angle;
    state.layer[0].angle = static_cast<uint8_t>(state.layer[0].angle + 16);
    for (int k = 0; k < 5; ++k) state.layer[k].zoom = start_zoom[k];
    state.countdown = frames_per_shift;
}

} // namespace vantrose
