#include "runtime/ticks.h"

#include "effects2d/radial_tables.h"
#include "runtime/buffers.h"
#include "runtime/palette.h"

namespace vantrose {

uint32_t wave_phase = 0;
int32_t wave_sign = 1;
std::atomic<int32_t> wave_angle{0};
uint32_t scroll_ticks = 0;
std::atomic<uint32_t> scroll_row{0};

void idle_tick() {}

void tick_fade_7_1() {
    step_palette_toward(pal7, pal1);
}
void tick_fade_6_0() {
    step_palette_toward(pal6, pal0);
}

void tick_fade_6_0_7_1() {
    step_palette_toward(pal6, pal0);
    step_palette_toward(pal7, pal1);
}

void tick_fade_7_5() {
    step_palette_toward(pal7, pal5);
}

void tick_fade_7_0_6_3() {
    step_palette_toward(pal7, pal0);
    step_palette_toward(pal6, pal3);
}

void tick_fade_6_3() {
    step_palette_toward(pal6, pal3);
}
void tick_fade_0_4() {
    step_palette_toward(pal0, pal4);
}

void wave_tick() {
    if (wave_phase == 512) {
        wave_sign = -wave_sign;
        wave_phase = 0;
    }
    wave_angle.store(sine_table[(wave_phase / 4) & 255] * wave_sign, std::memory_order_relaxed);
    wave_phase += 2;
}

void scroll_tick() {
    scroll_ticks += 1;
    if (scroll_ticks == 18) {
        scroll_row.fetch_add(1);
        scroll_ticks = 0;
    }
}

} // namespace vantrose
