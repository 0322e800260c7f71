#include "effects2d/ripple.h"

#include "runtime/archive.h"
#include "runtime/buffers.h"

namespace vantrose {

uint8_t* ripple_pulse_map = nullptr;
uint8_t* ripple_wave_map = nullptr;
uint8_t* ripple_picture = nullptr;
uint8_t* ripple_target = nullptr;
uint8_t* ripple_palette = nullptr;
float ripple_time = 0.0f;
float ripple_wave_time = 0.0f;

// The wave's 1024-sample signed profile follows the wave map in the same buffer.
constexpr size_t ripple_wave_table_offset = 64000;

void ripple_setup() {
    ripple_pulse_map = buf0;
    ripple_wave_map = buf1;
    ripple_picture = buf2;
    ripple_target = buf3;
    ripple_palette = pal4;
    load_entry(31, ripple_pulse_map, buffer_capacity(ripple_pulse_map));
    load_entry(32, ripple_wave_map, buffer_capacity(ripple_wave_map));
    load_entry(33, ripple_picture, buffer_capacity(ripple_picture));
    load_entry(34, ripple_palette, buffer_capacity(ripple_palette));
}

namespace {

// Truncates a clock towards zero and keeps it modulo 65536. A plain float-to-uint16 conversion
// would be undefined once the wave clock passes 65535 (after 16384 frames); the renderer only
// uses the low bits, so wrapping keeps the rings running.
uint16_t clock_value(float clock) {
    return static_cast<uint16_t>(static_cast<int64_t>(clock) & 0xffff);
}

} // namespace

void ripple_frame() {
    ripple_time += 1.0f;
    ripple_wave_time += 4.0f;
    ripple_render(clock_value(ripple_time), clock_value(ripple_wave_time));
}

void ripple_render(uint32_t pulse, uint32_t wave) {
    const int8_t* wave_table =
        reinterpret_cast<const int8_t*>(ripple_wave_map + ripple_wave_table_offset);
    const uint32_t pulse_phase = pulse & 255;

    // Amplitude 3 .. 34 and back over 64 pulse steps.
    int32_t amplitude[64];
    for (int32_t r = 0; r < 64; ++r) amplitude[r] = 3 + (r < 32 ? r : 63 - r);

    for (int32_t k = 0; k < 67; ++k) {
        for (int32_t y = 3 * k; y < 3 * k + 2; ++y) {
            const uint32_t row = static_cast<uint32_t>(y) * 320;
            const uint8_t* pulse_map = ripple_pulse_map + row;
            const uint8_t* wave_map = ripple_wave_map + row;
            const uint8_t* picture = ripple_picture + row;
            uint8_t* out = ripple_target + row;
            for (int32_t x = 0; x < 320; ++x) {
                const int32_t a = amplitude[(pulse_map[x] + pulse_phase) & 63];
                const int32_t s = wave_table[(wave_map[x] - wave) & 1023];
                // Arithmetic shift: small negative samples still brighten by one step.
                const int32_t d = (s * a) >> 8;
                out[x] = static_cast<uint8_t>(picture[x] - d);
            }
        }
    }
}

} // namespace vantrose
