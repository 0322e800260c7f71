#include "shell/music.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/script.h"
#include "shell/clock.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/startup.h"

namespace vantrose {

int32_t music_order = 0;
int32_t music_row = 0;

namespace {

using Clock = std::chrono::steady_clock;

// What moves the module on: the virtual clock's frames, the audio device, or the wall clock.
enum class Drive { lockstep, device, wall };

openmpt_module* song = nullptr;
Drive drive = Drive::lockstep;
bool device_open = false;
std::atomic<bool> playing{false};
std::atomic<int32_t> published_order{0};
std::atomic<int32_t> published_row{0};
std::atomic<int32_t> master_volume{256};
Clock::time_point wall_start;
uint64_t wall_rendered = 0;
Clock::time_point wall_paused_at;
// The resampler and volume ramps shape only the samples, never the ticks' timing: samples nobody
// hears are mixed the cheapest way.
bool mixing_for_ears = true;

// The viewer's listening volume, on top of the show's master volume: eight steps up from
// silence, each the square of its fraction so that the steps sound even.
constexpr int32_t listening_gain[9] = {0, 4, 16, 36, 64, 100, 144, 196, 256};
std::atomic<int32_t> listening_step{8};
std::atomic<bool> muted{false};

// Where the module stood after each slice sent to the audio device, by frames sent so far: the
// position heard is looked up at the frames sent minus those still queued in the device.
struct Mark {
    uint64_t end;
    int32_t order, row;
};
constexpr size_t slice_frames = 128;  // 2.9 ms: the resolution of the heard position
constexpr size_t history_size = 1024; // 3 s of slices, more than any device queues
Mark history[history_size];
uint64_t marks = 0;
uint64_t device_sent = 0;

// Marks where the module stands once `device_sent` frames have gone to the device.
void mark_position() {
    history[marks++ % history_size] = {device_sent, openmpt_module_get_current_order(song),
                                       openmpt_module_get_current_row(song)};
}

uint32_t u16(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | d[at + 1] << 8;
}
uint32_t u32(const std::vector<uint8_t>& d, size_t at) {
    return u16(d, at) | static_cast<uint32_t>(u16(d, at + 2)) << 16;
}

// The structure of a Scream Tracker 3 file: every table, instrument, sample and pattern it points
// at lies inside the file. Empty when sound, else why not.
std::string check_s3m(const std::vector<uint8_t>& d) {
    if (d.size() < 96 || std::memcmp(d.data() + 44, "SCRM", 4) != 0) return "not an S3M module";
    const size_t orders = u16(d, 32), instruments = u16(d, 34), patterns = u16(d, 36);
    const size_t tables = 96 + orders + 2 * instruments + 2 * patterns;
    if (tables > d.size()) return "truncated (its tables end past the end of the file)";
    for (size_t i = 0; i < instruments; ++i) {
        const size_t at = static_cast<size_t>(u16(d, 96 + orders + 2 * i)) * 16;
        if (at == 0) continue;
        if (at + 80 > d.size()) return "truncated (instrument " + std::to_string(i + 1) + ")";
        if (d[at] != 1) continue; // not a sample
        const size_t data = (static_cast<size_t>(d[at + 13]) << 16 | u16(d, at + 14)) * 16;
        const uint8_t flags = d[at + 31];
        const uint64_t bytes =
            static_cast<uint64_t>(u32(d, at + 16)) * (flags & 4 ? 2 : 1) * (flags & 2 ? 2 : 1);
        if (data + bytes > d.size()) {
            return "truncated (sample " + std::to_string(i + 1) + " ends past the end of the file)";
        }
    }
    for (size_t p = 0; p < patterns; ++p) {
        const size_t at = static_cast<size_t>(u16(d, 96 + orders + 2 * instruments + 2 * p)) * 16;
        if (at == 0) continue;
        if (at + 2 > d.size() || at + u16(d, at) > d.size()) {
            return "truncated (pattern " + std::to_string(p) + ")";
        }
    }
    return {};
}

[[noreturn]] void unusable(const std::string& message, bool missing = false) {
    std::fprintf(stderr, "vantrose: %s\n", message.c_str());
    platform->message_box("vantrose", message.c_str());
    end_process(1, {}, data_file_hint(music_path(), missing));
}

void failure_box(const char* text) {
    std::fprintf(stderr, "vantrose: %s\n", text);
    platform->message_box("Error", text);
}

void publish(int32_t order, int32_t row) {
    published_order.store(order, std::memory_order_relaxed);
    published_row.store(row, std::memory_order_relaxed);
}

void publish_position() {
    publish(openmpt_module_get_current_order(song), openmpt_module_get_current_row(song));
}

// Libopenmpt's default resampler and ramps, or the cheapest ones.
void mix_for_ears(bool heard) {
    if (!song || heard == mixing_for_ears) return;
    openmpt_module_set_render_param(song, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                    heard ? 0 : 1);
    openmpt_module_set_render_param(song, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    heard ? -1 : 0);
    mixing_for_ears = heard;
}

// Renders `frames` of the playing module at the master and listening volumes, silence past its
// end or when none plays; true when the module moved on.
bool render_module(int16_t* samples, size_t frames) {
    size_t done = 0;
    const bool moving = song && playing.load(std::memory_order_acquire);
    if (moving) {
        while (done < frames) {
            const size_t n = openmpt_module_read_interleaved_stereo(song, audio_rate, frames - done,
                                                                    samples + 2 * done);
            if (n == 0) break;
            done += n;
        }
    }
    std::memset(samples + 2 * done, 0, (frames - done) * 2 * sizeof(int16_t));
    const int64_t gain = static_cast<int64_t>(master_volume.load(std::memory_order_relaxed)) *
                         (muted.load(std::memory_order_relaxed)
                              ? 0
                              : listening_gain[listening_step.load(std::memory_order_relaxed)]);
    if (gain != 256 * 256) {
        for (size_t i = 0; i < 2 * done; ++i)
            samples[i] = static_cast<int16_t>(samples[i] * gain / (256 * 256));
    }
    return moving;
}

// The audio device's callback: renders in slices, marking the position after each, and
// publishes the position of the frame being heard.
void device_fill(int16_t* samples, size_t frames) {
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min(slice_frames, frames - done);
        const bool moving = render_module(samples + 2 * done, n);
        done += n;
        device_sent += n;
        if (moving) mark_position();
    }
    const uint64_t queued = platform->audio_queued_frames();
    const uint64_t heard = device_sent > queued ? device_sent - queued : 0;
    // The latest mark at or before the frame heard; the start of the module before the first.
    Mark found{0, 0, 0};
    for (uint64_t i = marks; i > 0 && i + history_size > marks; --i) {
        if (history[(i - 1) % history_size].end <= heard) {
            found = history[(i - 1) % history_size];
            break;
        }
    }
    publish(found.order, found.row);
}

// Without an audio device the module still keeps time: render and discard up to the wall clock.
void catch_up_with_wall_time() {
    static int16_t scrap[2 * 4096];
    const double seconds = std::chrono::duration<double>(Clock::now() - wall_start).count();
    const uint64_t target = static_cast<uint64_t>(seconds * audio_rate);
    while (wall_rendered < target) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(target - wall_rendered, 4096));
        render_music(scrap, n, false);
        wall_rendered += n;
    }
}

} // namespace

void render_music(int16_t* samples, size_t frames, bool heard) {
    mix_for_ears(heard);
    if (render_module(samples, frames)) publish_position();
}

void sound_init() {
    if (virtual_clock_on()) {
        drive = Drive::lockstep;
        return;
    }
    device_open = platform->open_audio(device_fill);
    drive = device_open ? Drive::device : Drive::wall;
    at_shutdown([](bool) { sound_close(); });
}

void sound_close() {
    if (device_open) platform->close_audio();
    device_open = false;
}

void audio_device_lost() {
    if (!device_open) return;
    std::fputs("vantrose: the audio device went away; the music goes on silently\n", stderr);
    sound_close();
    drive = Drive::wall;
    wall_start = Clock::now();
    wall_rendered = 0;
}

void load_music() {
    at_shutdown([](bool orderly) { orderly ? stop_music() : discard_music(); });
    const std::string path = music_path();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        unusable("cannot open the music module " + path + ": " + std::strerror(errno), true);
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    const bool read_error = std::ferror(file);
    std::fclose(file);
    if (read_error) unusable("cannot read the music module " + path);

    const std::string fault = check_s3m(bytes);
    if (!fault.empty()) unusable("the music module " + path + " is " + fault);

    int error = 0;
    const char* error_message = nullptr;
    openmpt_module* loaded = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_store,
        nullptr, &error, &error_message, nullptr);
    if (!loaded) {
        const std::string why = error_message ? error_message : "unknown error";
        openmpt_free_string(error_message);
        unusable("the music module " + path + " cannot be played: " + why);
    }
    openmpt_free_string(error_message);
    // Dither noise comes from a random seed: without it the same frames give the same samples.
    openmpt_module_ctl_set_integer(loaded, "dither", 0);
    if (openmpt_module_get_duration_seconds(loaded) <= 0.0) {
        openmpt_module_destroy(loaded);
        unusable("the music module " + path + " has no orders to play");
    }
    // A short module is played all the same: the show waits at the first cut it never reaches.
    const int32_t orders = openmpt_module_get_num_orders(loaded);
    if (orders < show_orders) {
        std::fprintf(stderr,
                     "vantrose: the music module %s has %d orders; the show needs %d (it waits "
                     "for orders this module never plays; Escape ends it)\n",
                     path.c_str(), static_cast<int>(orders), static_cast<int>(show_orders));
    }
    platform->lock_audio();
    if (song) openmpt_module_destroy(song);
    song = loaded;
    mixing_for_ears = true;
    published_order.store(0);
    published_row.store(0);
    master_volume.store(256);
    marks = 0;
    device_sent = 0;
    platform->unlock_audio();
    music_order = 0;
    music_row = 0;
}

// Called again when a scene skip ends, to hand the module on to the real clock's drive.
void play_music() {
    if (!song) return;
    openmpt_module_set_repeat_count(song, -1);
    playing.store(true, std::memory_order_release);
    switch (skipping_scenes() ? Drive::lockstep : drive) {
    case Drive::lockstep:
        virtual_music_start();
        break;
    case Drive::device:
        // Until its first slice is heard the device plays where the module stands now: its
        // start, or where a scene skip left it.
        platform->lock_audio();
        mix_for_ears(true); // a scene skip's unseen frames mixed for nobody
        mark_position();
        platform->unlock_audio();
        platform->start_audio();
        break;
    case Drive::wall:
        wall_start = Clock::now();
        wall_rendered = 0;
        break;
    }
}

void poll_music() {
    // A scene skip renders the module in lockstep with its frames instead.
    if (song && drive == Drive::wall && !skipping_scenes() &&
        playing.load(std::memory_order_relaxed)) {
        catch_up_with_wall_time();
    }
    music_order = published_order.load(std::memory_order_relaxed);
    music_row = published_row.load(std::memory_order_relaxed);
}

void stop_music() {
    if (song) {
        if (device_open) platform->pause_audio();
        playing.store(false, std::memory_order_release);
    } else {
        failure_box("StopSong");
    }
    if (song) {
        platform->lock_audio();
        openmpt_module_destroy(song);
        song = nullptr;
        platform->unlock_audio();
    } else {
        failure_box("FreeSong");
    }
}

void discard_music() {
    playing.store(false);
    platform->lock_audio();
    if (song) openmpt_module_destroy(song);
    song = nullptr;
    platform->unlock_audio();
}

void set_music_volume(int volume) {
    master_volume.store(volume < 0 ? 0 : volume > 256 ? 256 : volume, std::memory_order_relaxed);
}

void pause_music(bool paused) {
    // During a scene skip the module moves only with the unseen frames.
    if (skipping_scenes()) return;
    if (drive == Drive::device) {
        if (paused)
            platform->pause_audio();
        else if (playing.load())
            platform->start_audio();
    } else if (drive == Drive::wall) {
        // Wall time spent paused is not music time.
        if (paused)
            wall_paused_at = Clock::now();
        else
            wall_start += Clock::now() - wall_paused_at;
    }
}

int change_listening_volume(int steps) {
    const int step = std::clamp(listening_step.load() + steps, 0, 8);
    listening_step.store(step);
    muted.store(false);
    return step;
}

bool toggle_mute() {
    const bool now = !muted.load();
    muted.store(now);
    return now;
}

} // namespace vantrose
