#include "shell/timer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "shell/clock.h"
#include "shell/options.h"

namespace vantrose {

std::atomic<TickRoutine> timer_slot{nullptr};

namespace {

std::atomic<uint64_t> ticks{0};
std::thread timer_thread;
std::mutex timer_mutex;
std::condition_variable timer_wake;
bool timer_stopping = false;
bool timer_paused = false;
// Held by the timer thread while a tick runs; between_ticks takes it to keep ticks out.
std::mutex tick_mutex;

// Ticks fall at start + k x 20 ms; a late tick runs at once and the next keeps its own time.
void timer_loop() {
    using Clock = std::chrono::steady_clock;
    constexpr auto period = std::chrono::milliseconds(20);
    Clock::time_point next = Clock::now() + period;
    std::unique_lock lock(timer_mutex);
    for (;;) {
        if (timer_wake.wait_until(lock, next, [] { return timer_stopping || timer_paused; })) {
            if (timer_stopping) return;
            // Paused: no tick until resumed; the schedule starts afresh from that moment.
            timer_wake.wait(lock, [] { return timer_stopping || !timer_paused; });
            if (timer_stopping) return;
            next = Clock::now() + period;
            continue;
        }
        lock.unlock();
        {
            std::lock_guard running(tick_mutex);
            timer_callback();
        }
        lock.lock();
        next += period;
        // After a stall of over a second (a suspended machine), start the schedule afresh
        // rather than firing the missed ticks in a burst.
        const Clock::time_point now = Clock::now();
        if (now - next > std::chrono::seconds(1)) next = now + period;
    }
}

} // namespace

void set_timer_routine(TickRoutine routine) {
    timer_slot.store(routine, std::memory_order_release);
}

void between_ticks(void (*work)()) {
    std::lock_guard running(tick_mutex);
    work();
}

void timer_callback() {
    TickRoutine routine = timer_slot.load(std::memory_order_acquire);
    if (routine) routine();
    ticks.fetch_add(1, std::memory_order_relaxed);
}

void start_timer() {
    if (virtual_clock_on() || skipping_scenes()) {
        virtual_timer_start();
        return;
    }
    if (timer_thread.joinable()) return;
    {
        std::lock_guard guard(timer_mutex);
        timer_stopping = false;
    }
    timer_thread = std::thread(timer_loop);
}

void stop_timer() {
    if (!timer_thread.joinable()) return;
    {
        std::lock_guard guard(timer_mutex);
        timer_stopping = true;
    }
    timer_wake.notify_all();
    timer_thread.join();
}

void pause_timer(bool paused) {
    {
        std::lock_guard guard(timer_mutex);
        timer_paused = paused;
    }
    timer_wake.notify_all();
    // A tick already under way finishes before the pause counts as begun.
    std::lock_guard running(tick_mutex);
}

uint64_t tick_count() {
    return ticks.load(std::memory_order_relaxed);
}

} // namespace vantrose
