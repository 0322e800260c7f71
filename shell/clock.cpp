#include "shell/clock.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <thread>
#include <vector>

#include "capture/stats.h"
#include "capture/trace.h"
#include "platform/platform.h"
#include "platform/sys.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/startup.h"
#include "shell/timer.h"

namespace vantrose {

FrameSink frame_sink = nullptr;

namespace {

uint64_t presented = 0;
bool timer_running = false;
uint64_t timer_start_frame = 0;
bool music_running = false;
std::vector<int16_t> frame_audio;
using Steady = std::chrono::steady_clock;
bool skipping = false;
uint64_t skipped = 0;
Steady::time_point skip_start;

// The frame schedule: frame k of the current run of paced frames is due at start + k / rate.
uint32_t schedule_rate = 0;
Steady::time_point schedule_start;
uint64_t scheduled = 0;
Steady::time_point last_presented;
bool have_last = false;
std::vector<float> intervals; // ms between frames reaching the display

// The rate frames are paced at; 0 where they follow the flip (or, without one, run unpaced).
uint32_t paced_rate() {
    if (virtual_clock_on() || options.headless || options.fps_display) return 0;
    if (options.fps != 0) return options.fps;
    // The show was made for displays of 60 to 75 Hz, its per-frame motion timed by their
    // flip: there it keeps following it. Faster displays would speed that motion up, no vsync
    // or an inactive window would leave it unthrottled: 60 Hz instead.
    const int refresh = platform->refresh_rate();
    const bool flip = app_active != 0 && platform->follows_flip() && refresh > 0 && refresh <= 75;
    return flip ? 0 : 60;
}

// Whole units (samples, ticks) due after `frames` frames at `rate` units a second.
uint64_t due(uint64_t frames, uint32_t rate) {
    return frames * rate / options.refresh;
}

} // namespace

uint64_t frame_count() {
    return presented;
}

void virtual_timer_start() {
    timer_running = true;
    timer_start_frame = presented;
}

void virtual_music_start() {
    music_running = true;
}

void reset_clock() {
    presented = 0;
    timer_running = false;
    timer_start_frame = 0;
    music_running = false;
    skipping = false;
    skipped = 0;
}

bool skipping_scenes() {
    return skipping;
}

uint64_t skipped_frames() {
    return skipping ? presented : skipped;
}

void begin_scene_skip() {
    skipping = true;
    skip_start = Steady::now();
}

void scene_skip_reached(int scene) {
    if (!skipping) return;
    const uint64_t seconds = presented / options.refresh;
    // In place on a terminal (erased to the end of the line); a log gets only the closing line.
    const char* rewrite = stderr_is_terminal() ? "\r\033[K" : nullptr;
    if (scene < options.scene) {
        if (rewrite) {
            std::fprintf(stderr,
                         "%svantrose: skipping to scene %d: at scene %d, %" PRIu64 ":%02" PRIu64
                         " into the show",
                         rewrite, options.scene, scene, seconds / 60, seconds % 60);
        }
        return;
    }
    skipping = false;
    skipped = presented;
    const double wall = std::chrono::duration<double>(Steady::now() - skip_start).count();
    std::fprintf(stderr,
                 "%svantrose: skipped to scene %d, %" PRIu64 ":%02" PRIu64
                 " into the show (%" PRIu64 " frames), in %.1f s\n",
                 rewrite ? rewrite : "", scene, seconds / 60, seconds % 60, presented, wall);
    stats_begin();
    if (virtual_clock_on()) return;
    // The real clock from here: the ticks on the timer thread, the module on the audio device.
    if (timer_running) {
        timer_running = false;
        start_timer();
    }
    if (music_running) {
        music_running = false;
        play_music();
    }
}

void pace_frame() {
    const uint32_t rate = paced_rate();
    const Steady::time_point now = Steady::now();
    if (rate == 0 || rate != schedule_rate) {
        // A new run of paced frames starts with this one, shown at once.
        schedule_rate = rate;
        schedule_start = now;
        scheduled = 0;
        return;
    }
    ++scheduled;
    const auto period = std::chrono::duration<double>(1.0 / rate);
    const Steady::time_point due =
        schedule_start + std::chrono::duration_cast<Steady::duration>(period * scheduled);
    if (now - due > std::chrono::milliseconds(100)) {
        // Far behind (a stall): start afresh rather than rush the frames missed. A frame or
        // two late, the next ones follow at once until the schedule is met again.
        schedule_start = now;
        scheduled = 0;
        return;
    }
    std::this_thread::sleep_until(due);
}

void note_presented() {
    const Steady::time_point now = Steady::now();
    if (have_last && (options.stats || options.trace)) {
        intervals.push_back(std::chrono::duration<float, std::milli>(now - last_presented).count());
    }
    last_presented = now;
    have_last = true;
}

void pause_show(bool paused) {
    pause_timer(paused);
    pause_music(paused);
    if (!paused) {
        schedule_rate = 0; // the next frame starts the schedule afresh
        have_last = false; // and the pause is no presented interval
    }
}

void print_pacing_stats() {
    if (virtual_clock_on() || options.headless) return;
    const int refresh = platform->refresh_rate();
    const char* presents = platform->follows_flip() ? "wait for the flip" : "without vsync";
    if (refresh > 0)
        std::fprintf(stderr, "display refresh %d Hz, presents %s\n", refresh, presents);
    else
        std::fprintf(stderr, "display refresh unknown, presents %s\n", presents);
    const uint32_t rate = paced_rate();
    if (rate != 0)
        std::fprintf(stderr, "paced rate %u Hz\n", rate);
    else
        std::fprintf(stderr, "paced rate: the display's flip%s\n",
                     platform->follows_flip() ? "" : " (none: unpaced)");
    if (intervals.empty()) return;
    std::vector<float> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (float v : sorted) sum += v;
    const size_t p99 = std::min(sorted.size() - 1, sorted.size() * 99 / 100);
    std::fprintf(stderr,
                 "presented interval mean %.2f ms, 99th percentile %.2f ms, longest %.2f ms over "
                 "%zu intervals\n",
                 sum / sorted.size(), sorted[p99], sorted.back(), sorted.size());
}

void frame_presented() {
    const uint64_t index = presented++;
    const int height = screen_height;
    if (!skipping) note_frame(true_color_frame, height, index);

    if (skipping || virtual_clock_on()) {
        // The audio of this frame's 1/refresh s, sample-exact: the fraction carries over.
        const size_t samples = due(presented, audio_rate) - due(index, audio_rate);
        frame_audio.assign(samples * 2, 0);
        if (music_running) {
            render_music(frame_audio.data(), samples, frame_sink != nullptr && !skipping);
        }
        if (frame_sink && !skipping) {
            frame_sink(true_color_frame, height, frame_audio.data(), samples);
        }

        // The 20 ms ticks that fell due during the frame, in order, on this thread.
        if (timer_running) {
            const uint64_t since = presented - timer_start_frame;
            const uint64_t ticks = due(since, ticks_per_second) - due(since - 1, ticks_per_second);
            for (uint64_t t = 0; t < ticks; ++t) timer_callback();
        }
    } else if (frame_sink) {
        frame_sink(true_color_frame, height, nullptr, 0);
    }

    if (!skipping && options.frames != 0 && presented - skipped >= options.frames) post_quit();
}

} // namespace vantrose
