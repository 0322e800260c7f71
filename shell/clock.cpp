#include "shell/clock.h"

#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "shell/display.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "shell/startup.h"
#include "shell/stats.h"
#include "shell/timer.h"
#include "shell/trace.h"

namespace vantrose {

FrameSink frame_sink = nullptr;

namespace {

uint64_t presented = 0;
bool timer_running = false;
uint64_t timer_start_frame = 0;
bool music_running = false;
std::vector<int16_t> frame_audio;
bool skipping = false;
uint64_t skipped = 0;
std::chrono::steady_clock::time_point skip_start;

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
    skip_start = std::chrono::steady_clock::now();
}

void scene_skip_reached(int scene) {
    if (!skipping) return;
    const uint64_t seconds = presented / options.refresh;
    // In place on a terminal (erased to the end of the line); a log gets only the closing line.
    const char* rewrite = isatty(STDERR_FILENO) ? "\r\033[K" : nullptr;
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
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - skip_start).count();
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

void frame_presented() {
    const uint64_t index = presented++;
    const int height = screen_height;
    if (!skipping) note_frame(true_color_frame, height, index);

    if (skipping || virtual_clock_on()) {
        // The audio of this frame's 1/refresh s, sample-exact: the fraction carries over.
        const size_t samples = due(presented, audio_rate) - due(index, audio_rate);
        frame_audio.assign(samples * 2, 0);
        if (music_running) render_music(frame_audio.data(), samples);
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
