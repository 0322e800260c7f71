#include "shell/timer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "shell/clock.h"
#include "shell/options.h"
#include "shell/startup.h"

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

constexpr auto period = std::chrono::milliseconds(20);

// A late tick runs at once and the next keeps its own time.
void timer_loop() {
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point next = next_tick_deadline(start, start);
    std::unique_lock lock(timer_mutex);
    for (;;) {
        if (timer_wake.wait_until(lock, next, [] { return timer_stopping || timer_paused; })) {
            if (timer_stopping) return;
            // Paused: no tick until resumed; the schedule starts afresh from that moment.
            timer_wake.wait(lock, [] { return timer_stopping || !timer_paused; });
            if (timer_stopping) return;
            const std::chrono::steady_clock::time_point resumed = std::chrono::steady_clock::now();
            next = next_tick_deadline(resumed, resumed);
            continue;
        }
        lock.unlock();
        {
            std::lock_guard running(tick_mutex);
            timer_callback();
        }
        lock.lock();
        next = next_tick_deadline(next, std::chrono::steady_clock::now());
    }
}

} // namespace

std::chrono::steady_clock::time_point
next_tick_deadline(std::chrono::steady_clock::time_point due,
                   std::chrono::steady_clock::time_point now) {
    const std::chrono::steady_clock::time_point next = due + period;
    // A suspended machine: start the schedule afresh rather than fire the missed ticks in a burst.
    return now - next > std::chrono::seconds(1) ? now + period : next;
}

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
    at_shutdown([](bool) { stop_timer(); });
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
