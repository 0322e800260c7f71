// --stats and --dump: per-scene timings and checksums, frames written as PNG.
#include "capture/stats.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>

#include "capture/dump.h"
#include "capture/trace.h"
#include "runtime/cpu.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/options.h"

namespace vantrose {

namespace {

using Clock = std::chrono::steady_clock;

struct SceneFigures {
    uint64_t frames = 0;
    double seconds = 0; // wall time from the frame before to each of the scene's frames
    uint64_t checksum = checksum_seed;
};

std::map<int, SceneFigures> scenes;
Clock::time_point show_start;
Clock::time_point last_frame;
bool started = false;
bool dump_failed = false;

double seconds_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

uint64_t frame_checksum(const uint8_t* bytes, size_t size, uint64_t hash) {
    // Sixteen 32-bit lanes over the frame's words, each FNV-1a with the high half folded into the
    // low one (so that a change anywhere in a word reaches every bit), then folded into the
    // running hash. Written as vectors: four independent multiplies of four lanes each, which
    // the compiler turns into SSE2 or SIMD128, and a frame hashes near memory speed.
    using Lanes = uint32_t __attribute__((vector_size(16)));
    constexpr uint32_t lane_prime = 16777619u;
    constexpr uint64_t prime = 0x100000001b3ull;
    const uint32_t low = static_cast<uint32_t>(hash), high = static_cast<uint32_t>(hash >> 32);
    Lanes lanes[4];
    for (uint32_t k = 0; k < 4; ++k) lanes[k] = Lanes{low, high, k, 4 - k};
    size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        for (int k = 0; k < 4; ++k) {
            Lanes words;
            std::memcpy(&words, bytes + i + 16 * k, 16);
            lanes[k] = (lanes[k] ^ words) * lane_prime;
            lanes[k] ^= lanes[k] >> 15;
        }
    }
    for (; i < size; ++i) hash = (hash ^ bytes[i]) * prime;
    for (const Lanes& l : lanes) {
        for (int j = 0; j < 4; ++j) hash = (hash ^ l[j]) * prime;
    }
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
    forget_scene();
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
    SceneFigures& figures = scenes[scene_playing()];
    figures.frames += 1;
    figures.seconds += seconds_between(last_frame, now);
    last_frame = now;
    // A megabyte a frame, hashed serially: only --trace pays for it, so --stats times the show
    // rather than the hashing.
    if (options.trace)
        figures.checksum =
            frame_checksum(frame, static_cast<size_t>(frame_width) * 4 * height, figures.checksum);
}

void print_stats() {
    if (!options.stats && !options.trace) return;
    std::fprintf(stderr, "processor path %s\n", cpu_path());
    for (const auto& [scene, figures] : scenes) {
        if (!options.trace) break;
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
