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

} // namespace

void sample_grid(const uint8_t* texture, uint8_t* frame, uint16_t u_base, uint16_t v_base,
                 uint8_t angle, int16_t zoom, bool skip_transparent) {
    static_assert(std::endian::native == std::endian::little, "cell pairs are stored left first");
    const uint32_t du_dx = grid_step(rot_cos[angle], zoom);
    const uint32_t dv_dx = grid_step(rot_sin[angle], zoom);
    const uint32_t du_dy = grid_step(rot_nsin_y[angle], zoom);
    const uint32_t dv_dy = grid_step(rot_cos_y[angle], zoom);
    uint32_t row_u = u_base - 80u * du_dx - 50u * du_dy;
    uint32_t row_v = v_base - 80u * dv_dx - 50u * dv_dy;

    for (int j = 0; j < 100; ++j, row_u += du_dy, row_v += dv_dy) {
        uint8_t* top = frame + 640 * j;
        uint8_t* bottom = top + 320;
        uint32_t u = row_u, v = row_v;
        // One step along the row, then the cell there.
        auto next_cell = [&] {
            u += du_dx;
            v += dv_dx;
            return texel(texture, u, v);
        };
        if (skip_transparent) {
            // Without branches: holes are frequent and irregular. A transparent cell writes
            // its own pixels back.
            for (int i = 0; i < 160; i += 2) {
                const uint32_t left = next_cell();
                const uint32_t right = next_cell();
                const uint32_t quad = (left | right << 16) * 0x0101u;
                const uint32_t keep = (left == transparent_index ? 0x0000FFFFu : 0u) |
                                      (right == transparent_index ? 0xFFFF0000u : 0u);
                uint32_t old_top, old_bottom;
                std::memcpy(&old_top, top + 2 * i, 4);
                std::memcpy(&old_bottom, bottom + 2 * i, 4);
                old_top = (old_top & keep) | quad;
                old_bottom = (old_bottom & keep) | quad;
                std::memcpy(top + 2 * i, &old_top, 4);
                std::memcpy(bottom + 2 * i, &old_bottom, 4);
            }
        } else {
            // Two cells at a time, four pixels of a row in one store.
            for (int i = 0; i < 160; i += 2) {
                const uint32_t left = next_cell();
                const uint32_t right = next_cell();
                const uint32_t quad = (left | right << 16) * 0x0101u;
                std::memcpy(top + 2 * i, &quad, 4);
                std::memcpy(bottom + 2 * i, &quad, 4);
            }
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
    for (int k = 0; k < 5; ++k) {
        sample_grid(texture, frame, 0, 0, state.layer[k].angle, state.layer[k].zoom, k != 0);
    }
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
