#include "capture/trace.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <map>

#include "engine3d/model.h"
#include "runtime/buffers.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "capture/stats.h"
#include "shell/timer.h"

namespace vantrose {

namespace {

using Clock = std::chrono::steady_clock;

struct SceneFigures {
    uint64_t frames = 0;
    double seconds = 0; // wall time from the frame before to each of the scene's frames
    uint64_t checksum = checksum_seed;
};

int current_scene = 0;
std::map<int, SceneFigures> scenes;
Clock::time_point show_start;
Clock::time_point last_frame;
bool started = false;
bool dump_failed = false;

double seconds_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void trace_line(const char* what, int number) {
    if (!options.trace) return;
    std::fprintf(stderr, "%s %d frame %" PRIu64 " tick %" PRIu64 " order %d row %d\n", what, number,
                 frame_count(), tick_count(), music_order, music_row);
}

// The show's name for a load destination, so that a trace says which entry went where.
const char* destination_name(const uint8_t* p) {
    const struct {
        const uint8_t* pointer;
        const char* name;
    } named[] = {
        {buf0, "buf0"},
        {buf1, "buf1"},
        {buf2, "buf2"},
        {buf3, "buf3"},
        {buf4, "buf4"},
        {buf5, "buf5"},
        {buf6, "buf6"},
        {buf7, "buf7"},
        {pal0, "pal0"},
        {pal1, "pal1"},
        {pal2, "pal2"},
        {pal3, "pal3"},
        {pal4, "pal4"},
        {pal5, "pal5"},
        {pal6, "pal6"},
        {pal7, "pal7"},
        {hires_picture, "hires_picture"},
        {reinterpret_cast<const uint8_t*>(map_table), "map_table"},
        {texture_block, "texture0"},
        {texture_block ? texture_block + 65536 : nullptr, "texture1"},
        {texture_palettes, "texture_palette0"},
        {texture_palettes + 768, "texture_palette1"},
    };
    for (const auto& n : named)
        if (n.pointer && n.pointer == p) return n.name;
    return "other";
}

} // namespace

void note_load(uint32_t entry, const uint8_t* destination) {
    if (!options.trace) return;
    std::fprintf(stderr, "load %" PRIu32 " %s\n", entry, destination_name(destination));
}

void note_scene_start(int scene) {
    scene_skip_reached(scene);
    current_scene = scene;
    if (!skipping_scenes()) trace_line("scene", scene);
}

int scene_playing() {
    return current_scene;
}

void note_phase_change(int phase) {
    if (!skipping_scenes()) trace_line("phase", phase);
}

uint64_t frame_checksum(const uint8_t* bytes, size_t size, uint64_t hash) {
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        for (int b = 7; b >= 0; --b) word = word << 8 | bytes[i + b];
        hash = (hash ^ word) * 0x100000001b3ull;
    }
    for (; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

uint64_t scene_checksum(int scene) {
    auto it = scenes.find(scene);
    return it == scenes.end() ? checksum_seed : it->second.checksum;
}

void stats_begin() {
    show_start = last_frame = Clock::now();
    started = true;
}

void reset_stats() {
    current_scene = 0;
    scenes.clear();
    started = false;
    dump_failed = false;
}

void note_frame(const uint8_t* frame, int height, uint64_t index) {
    if (!options.dump_dir.empty() && index % options.dump_every == 0 && !dump_failed) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06" PRIu64 ".png", index);
        if (!write_png(options.dump_dir + name, frame, height)) {
            std::fprintf(stderr, "vantrose: cannot write %s%s; no more frames are dumped\n",
                         options.dump_dir.c_str(), name);
            dump_failed = true;
        }
    }
    if (!options.stats && !options.trace) return;
    if (!started) stats_begin();
    const Clock::time_point now = Clock::now();
    SceneFigures& figures = scenes[current_scene];
    figures.frames += 1;
    figures.seconds += seconds_between(last_frame, now);
    last_frame = now;
    figures.checksum =
        frame_checksum(frame, static_cast<size_t>(frame_width) * 4 * height, figures.checksum);
}

void print_stats() {
    if (!options.stats && !options.trace) return;
    for (const auto& [scene, figures] : scenes) {
        std::fprintf(stderr, "checksum scene %d frames %" PRIu64 " fnv %016" PRIx64 "\n", scene,
                     figures.frames, figures.checksum);
    }
    if (!options.stats) return;
    const double wall = started ? seconds_between(show_start, Clock::now()) : 0.0;
    // What was shown: the frames a scene skip ran unseen are not counted.
    const uint64_t frames = frame_count() - skipped_frames();
    const double show = virtual_clock_on() ? static_cast<double>(frames) / options.refresh : wall;
    std::fprintf(stderr, "frames %" PRIu64 "\n", frames);
    std::fprintf(stderr, "wall time %.3f s\n", wall);
    std::fprintf(stderr, "real-time factor %.3f\n", wall > 0 ? show / wall : 0.0);
    print_pacing_stats();
    for (const auto& [scene, figures] : scenes) {
        std::fprintf(stderr, "scene %d mean %.3f ms per frame over %" PRIu64 " frames\n", scene,
                     figures.frames ? 1000.0 * figures.seconds / figures.frames : 0.0,
                     figures.frames);
    }
}

} // namespace vantrose
