// The tick routines the script installs in timer_slot.
#pragma once
#include <atomic>
#include <cstdint>

namespace vantrose {

extern uint32_t wave_phase;
extern int32_t wave_sign;
extern std::atomic<int32_t> wave_angle;
extern uint32_t scroll_ticks;
extern std::atomic<uint32_t> scroll_row;

void idle_tick();
void tick_fade_7_1();
void tick_fade_6_0();
void tick_fade_6_0_7_1();
void tick_fade_7_5();
void tick_fade_7_0_6_3();
void tick_fade_6_3();
void tick_fade_0_4();
void wave_tick();
void scroll_tick();

} // namespace vantrose
