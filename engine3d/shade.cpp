// The brightness curve and the shade table: three channel bytes for every texture colour and
// brightness, with a highlight towards white at the top of the range.
#include <cmath>

#include "engine3d/convert.h"
#include "engine3d/pipeline.h"

namespace vantrose {

namespace {

constexpr double ramp_divisor = 369.2;
constexpr double ramp_offset = -1.0;
constexpr double ramp_scale = 64.0;
constexpr double channel_scale = 0.015625;
constexpr double brightness_factor = 1.0;
constexpr int highlight_start = 230;
constexpr int full_highlight = 249;
constexpr double highlight_divisor = 27.41;

uint8_t low_byte(double value) {
    return static_cast<uint8_t>(trunc_to_int32(value));
}

} // namespace

void build_intensity_ramp() {
    for (int j = 0; j < 256; j++) {
        const uint8_t r = low_byte((std::exp(j / ramp_divisor) + ramp_offset) * ramp_scale);
        intensity_ramp[3 * j] = intensity_ramp[3 * j + 1] = intensity_ramp[3 * j + 2] = r;
    }
}

void build_shade_table() {
    // The highlight blend depends on the brightness only.
    double blend[full_highlight - highlight_start];
    for (int j = highlight_start; j < full_highlight; j++)
        blend[j - highlight_start] = std::exp((j - highlight_start) / highlight_divisor) - 1.0;

    for (int c = 0; c < 512; c++) {
        const double pr = texture_palettes[3 * c], pg = texture_palettes[3 * c + 1],
                     pb = texture_palettes[3 * c + 2];
        uint8_t* out = shade_table + 3 * 256 * c;
        for (int j = 0; j < 256; j++, out += 3) {
            float r =
                static_cast<float>(pr * brightness_factor * intensity_ramp[3 * j] * channel_scale);
            float g = static_cast<float>(
                pg * brightness_factor * intensity_ramp[3 * j + 1] * channel_scale + 64.0);
            float b = static_cast<float>(
                pb * brightness_factor * intensity_ramp[3 * j + 2] * channel_scale + 128.0);
            if (j >= full_highlight) {
                r = 63.0f;
                g = 127.0f;
                b = 191.0f;
            } else if (j >= highlight_start) {
                const double f = blend[j - highlight_start];
                r = static_cast<float>(r + f * (63.0 - r));
                g = static_cast<float>(g + f * (127.0 - g));
                b = static_cast<float>(b + f * (191.0 - b));
            }
            out[0] = low_byte(r);
            out[1] = low_byte(g);
            out[2] = low_byte(b);
        }
    }
}

} // namespace vantrose
