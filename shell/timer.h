// The 20 ms tick: one replaceable routine called 50 times a second.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace vantrose {

using TickRoutine = void (*)();

// Stored with release order, loaded with acquire order.
extern std::atomic<TickRoutine> timer_slot;

void set_timer_routine(TickRoutine routine);
void start_timer();
void timer_callback();
// Runs `work` on the calling thread while no tick runs: for state that the installed tick
// routine also writes.
void between_ticks(void (*work)());
// Holds the ticks (no tick runs while paused); on resuming, the next tick falls 20 ms later.
void pause_timer(bool paused);
// Stops and joins the timer thread (shutdown).
void stop_timer();

// The real timer's schedule: the deadline after a tick due at `due` that ran at `now`. Ticks
// fall on a fixed 20 ms grid; after a stall of over a second the grid starts afresh at `now`.
std::chrono::steady_clock::time_point next_tick_deadline(std::chrono::steady_clock::time_point due,
                                                         std::chrono::steady_clock::time_point now);

// Ticks run so far (either clock).
uint64_t tick_count();

} // namespace vantrose
