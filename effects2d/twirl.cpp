#include "effects2d/twirl.h"

#include <cstring>

#include "effects2d/radial_tables.h"
#include "runtime/ticks.h"

namespace vantrose {

uint8_t* twirl_source = nullptr;
uint8_t* twirl_target = nullptr;

void twirl_frame() {
    // One strength for the whole frame, however often the tick rewrites it meanwhile.
    const int32_t t = wave_angle.load(std::memory_order_relaxed);

    // The angle depends only on the distance, so the frame needs one division per distance
    // (1 .. 188), not one per sample. Signed division truncates, the shift then floors.
    // Sized for any byte so that even unbuilt tables (all 0) read inside; 0 is never divided by.
    int16_t sine_of[256] = {};
    int16_t cosine_of[256] = {};
    for (int32_t d = 1; d < 256; ++d) {
        const uint8_t a = static_cast<uint8_t>((t / d) >> 1);
        sine_of[d] = sine_table[a];
        cosine_of[d] = cosine_table[a];
    }

    const uint8_t* source = twirl_source;
    for (int32_t k = 0; k < 67; ++k) {
        for (int32_t y = 3 * k; y < 3 * k + 2; ++y) {
            uint8_t* out = twirl_target + y * 320;
            const int32_t dy = 100 - y;
            const uint16_t* distance = distance_table + y;
            for (int32_t x = 0; x < 320; x += 2) {
                const uint8_t d = static_cast<uint8_t>(distance[x * 200]); // 1 .. 188
                const int32_t s = sine_of[d];
                const int32_t c = cosine_of[d];
                const int32_t dx = 160 - x;
                // [[c, s], [s, c]]: both terms added; this is what swirls instead of turning.
                const int32_t u = 160 + ((s * dy + c * dx) >> 16);
                const int32_t v = 100 + ((c * dy + s * dx) >> 16);
                std::memcpy(out + x, source + v * 320 + u, 2);
            }
        }
    }
}

} // namespace vantrose
