// The real timer thread: ticks keep coming, and between_ticks keeps them out of shared state.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "shell/options.h"
#include "shell/timer.h"

using namespace vantrose;

namespace {

// Written by the tick and by the work run between ticks, deliberately without atomics: only
// the exclusion between_ticks promises keeps this race-free (tsan checks it in CI).
int shared_phase = 0;
std::atomic<bool> in_tick{false};
std::atomic<int> ticks_seen{0};
std::atomic<int> overlaps{0};

void busy_tick() {
    in_tick = true;
    shared_phase += 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    in_tick = false;
    ++ticks_seen;
}

} // namespace

TEST(RealTimer, BetweenTicksNeverOverlapsATick) {
    options = Options{};
    options.headless = true;
    options.real_clock = true;
    set_timer_routine(busy_tick);
    start_timer();
    for (int i = 0; i < 40; ++i) {
        between_ticks([] {
            if (in_tick) ++overlaps;
            shared_phase = 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    while (ticks_seen < 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop_timer();
    set_timer_routine(nullptr);
    options = Options{};
    EXPECT_EQ(overlaps, 0);
    EXPECT_GE(ticks_seen, 5);
}
