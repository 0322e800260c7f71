// Recording the show to a video with sound: frames and samples piped to ffmpeg.
#include "capture/recorder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <initializer_list>
#include <vector>

#include "capture/trace.h"
#include "platform/platform.h"
#include "platform/sys.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "shell/startup.h"
#include "shell/viewport.h"

namespace vantrose {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes on their way into a pipe, a frame's worth per chunk: written as far as the pipe takes
// them, never blocking. Sent chunks are kept for reuse, so steady recording allocates nothing.
struct Outbox {
    int pipe = 0; // which of the child's pipes
    bool open = false;
    std::deque<std::vector<uint8_t>> chunks;
    std::vector<std::vector<uint8_t>> spare;
    size_t head = 0; // bytes of the first chunk already sent
    size_t waiting = 0;

    size_t pending() const { return waiting; }
    void add(const void* data, size_t size) {
        std::vector<uint8_t> chunk;
        if (!spare.empty()) {
            chunk = std::move(spare.back());
            spare.pop_back();
        }
        const uint8_t* from = static_cast<const uint8_t*>(data);
        chunk.assign(from, from + size);
        chunks.push_back(std::move(chunk));
        waiting += size;
    }
    // Empty when the pipe took what it could, else why the write failed.
    std::string send(ChildProcess& child, bool& broken) {
        while (!chunks.empty()) {
            std::vector<uint8_t>& first = chunks.front();
            if (head < first.size()) {
                std::string error;
                const int64_t n = pipe_write(child, pipe, first.data() + head, first.size() - head,
                                             broken, error);
                if (n < 0) return error;
                if (n == 0) return {};
                head += static_cast<size_t>(n);
                waiting -= static_cast<size_t>(n);
                if (head < first.size()) continue;
            }
            spare.push_back(std::move(first));
            chunks.pop_front();
            head = 0;
        }
        return {};
    }
};

struct Recording {
    bool open = false;
    std::string failure; // why the recording cannot be finished; empty while all is well
    RecordFormat format = RecordFormat::none;
    std::string output;   // the file asked for
    std::string part;     // what ffmpeg writes, renamed to the output once complete
    std::string log_path; // ffmpeg's messages, shown when it fails
    std::string ffmpeg;
    ChildProcess encoder;
    Outbox video{0, false, {}, {}, 0, 0};
    Outbox sound{1, false, {}, {}, 0, 0};
    size_t video_lag = 0; // picture bytes that may wait in the outbox before a frame blocks
    int height = 0;
    uint64_t frames = 0;
    Clock::time_point started;
    Clock::time_point last_progress;
    bool progress_shown = false;
    bool terminal = false;
    int32_t order_total = 0; // orders of the module before its end mark
};

Recording rec;

// The shared video is the picture as a 1080p screen shows it, at the frame rate video sites and
// players expect.
constexpr int share_w = 1920, share_h = 1080;
constexpr uint32_t share_rate = 60;

Viewport share_fit() {
    const Aspect shown = shown_aspect(frame_width, rec.height, options.square_dots);
    return fit_viewport(share_w, share_h, frame_width, rec.height, shown.w, shown.h, false);
}

// The same sharp fit as on the screen: nearest-neighbour by whole factors, then reduced by area
// (each output pixel the average of what it covers, so one blended pixel where two dots meet;
// the chroma averaged over 2 x 2 of those). The colours go to BT.709 first, at 640 x H: the
// conversion is linear, so it gives the same picture as converting at the end, and scaling
// planes of YUV is four times cheaper than scaling packed RGB.
std::string share_filter() {
    const Viewport fit = share_fit();
    std::string chain =
        options.refresh != share_rate ? "fps=" + std::to_string(share_rate) + "," : "";
    chain += "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd,format=yuv444p,"
             "scale=iw*" +
             std::to_string(fit.scale_x) + ":ih*" + std::to_string(fit.scale_y) +
             ":flags=neighbor,scale=" + std::to_string(fit.w) + ":" + std::to_string(fit.h) +
             ":flags=area,format=yuv420p";
    return chain;
}

// ffmpeg that takes no byte for this long has hung: the recording fails rather than waits.
constexpr int stall_ms = 60000;
// How far the picture may run behind the sound in the pipes, in samples: twice what ffmpeg can
// need ahead of the picture it has muxed (see pump). Below 3072 recordings at 1000 Hz stall.
constexpr uint32_t lag_samples = 6144;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Orders of the module up to its end mark (255): the length of the show in orders, roughly.
int32_t module_order_total() {
    FILE* file = std::fopen(music_path().c_str(), "rb");
    if (!file) return 0;
    std::vector<uint8_t> head(96 + 256);
    const size_t got = std::fread(head.data(), 1, head.size(), file);
    std::fclose(file);
    if (got < 96) return 0;
    const size_t orders = std::min<size_t>(head[32] | head[33] << 8, got - 96);
    size_t total = 0;
    while (total < orders && head[96 + total] != 255) ++total;
    return static_cast<int32_t>(total);
}

std::string fraction_text(double seconds) {
    char text[32];
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - 60.0 * minutes);
    return text;
}

// The path quoted for a shell when it needs it.
std::string shell_word(const std::string& text) {
    if (text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                               "/._-+,:=@") == std::string::npos) {
        return text;
    }
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void fail(const std::string& why) {
    if (!rec.failure.empty()) return;
    rec.failure = why;
    // The show ends at the next frame through the orderly quit; shutdown reports.
    post_quit();
}

// Waits until ffmpeg takes more from a pipe that has bytes waiting.
bool wait_for_room() {
    bool waiting[2] = {};
    for (Outbox* box : {&rec.sound, &rec.video})
        waiting[box->pipe] = box->open && box->pending() > 0;
    std::string error;
    const int ready = pipe_wait(rec.encoder, waiting, stall_ms, error);
    if (ready < 0) {
        fail("cannot wait for ffmpeg: " + error);
        return false;
    }
    if (ready == 0) {
        fail("ffmpeg took nothing for " + std::to_string(stall_ms / 1000) + " s");
        return false;
    }
    return true;
}

bool send(Outbox& box) {
    bool broken = false;
    const std::string error = box.send(rec.encoder, broken);
    if (error.empty()) return true;
    fail(broken ? std::string("ffmpeg stopped taking frames")
                : "cannot send the show to ffmpeg: " + error);
    return false;
}

// Feeds ffmpeg until at most video_lag picture bytes wait.
//
// ffmpeg reads its two inputs in step with their time stamps, waiting for whichever stream is
// behind. The sound is never held back: all of it up to the current frame is in the pipe or goes
// in as soon as the pipe has room. The picture holds up the show only while more than video_lag
// bytes wait: more frames than ffmpeg can need sound for ahead of the picture it has taken (a
// packet of its raw reader, a frame of the sound encoder and the AAC encoder's delay, 1024
// samples each). So whichever stream ffmpeg waits for, we have it to give, and the pipes cannot
// hold each other up. Only a hung ffmpeg stops this; a minute without a byte taken ends the
// recording with a failure. ffmpeg reads no more than a packet of each input while it opens
// them (-probesize, -analyzeduration), so the same holds from the first frame.
bool pump() {
    for (;;) {
        if (!send(rec.sound) || !send(rec.video)) return false;
        if (rec.video.pending() <= rec.video_lag) return true;
        if (!wait_for_room()) return false;
    }
}

// Sends what waits and closes each pipe as soon as it is empty: the end of one stream may be
// what ffmpeg waits for before it takes the rest of the other.
bool drain() {
    for (;;) {
        for (Outbox* box : {&rec.sound, &rec.video}) {
            if (!box->open) continue;
            if (!send(*box)) return false;
            if (box->pending() == 0) {
                pipe_close(rec.encoder, box->pipe);
                box->open = false;
            }
        }
        if (!rec.sound.open && !rec.video.open) return true;
        if (!wait_for_room()) return false;
    }
}

void end_progress_line() {
    if (!rec.progress_shown) return;
    std::fputs("\n", stderr);
    rec.progress_shown = false;
}

void show_progress() {
    const Clock::time_point now = Clock::now();
    if (now - rec.last_progress < std::chrono::milliseconds(250)) return;
    rec.last_progress = now;
    const double wall = std::chrono::duration<double>(now - rec.started).count();
    const double show = static_cast<double>(rec.frames) / options.refresh;
    const double factor = wall > 0 ? show / wall : 0;
    std::string estimate;
    if (rec.order_total > 0) {
        const double done =
            std::clamp((music_order + music_row / 64.0) / rec.order_total, 0.0, 1.0);
        char text[96];
        if (done > 0.005) {
            std::snprintf(text, sizeof text, "  %5.1f%%  about %s left", 100.0 * done,
                          fraction_text(wall * (1.0 - done) / done).c_str());
        } else {
            std::snprintf(text, sizeof text, "  %5.1f%%", 100.0 * done);
        }
        estimate = text;
    }
    std::fprintf(stderr, "\rrecording: scene %d  frame %" PRIu64 " (%s)  %.2fx real time%s\033[K",
                 scene_playing(), rec.frames, fraction_text(show).c_str(), factor,
                 estimate.c_str());
    std::fflush(stderr);
    rec.progress_shown = true;
}

void close_pipes() {
    for (Outbox* box : {&rec.video, &rec.sound}) {
        pipe_close(rec.encoder, box->pipe);
        box->open = false;
    }
}

void remove_files() {
    if (!rec.part.empty()) std::remove(rec.part.c_str());
    if (!rec.log_path.empty()) std::remove(rec.log_path.c_str());
}

// The last lines ffmpeg wrote, for a failure report.
std::string log_tail() {
    if (rec.log_path.empty()) return {};
    FILE* file = std::fopen(rec.log_path.c_str(), "rb");
    if (!file) return {};
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
        if (text.size() > 65536) text.erase(0, text.size() - 8192);
    }
    std::fclose(file);
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        if (end > begin) lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    std::string tail;
    for (size_t i = lines.size() > 12 ? lines.size() - 12 : 0; i < lines.size(); ++i)
        tail += "  ffmpeg: " + lines[i] + "\n";
    return tail;
}

// Any way out of the program that skips recorder_close (a damaged archive, a failed allocation):
// ffmpeg is stopped and its file removed, so no half-made file is left behind.
void abandon_recording() {
    if (!rec.open) return;
    rec.open = false;
    close_pipes();
    child_kill(rec.encoder);
    child_wait(rec.encoder);
    remove_files();
}

std::vector<std::string> ffmpeg_args() {
    std::vector<std::string> args = {rec.ffmpeg, "-hide_banner", "-nostdin",
                                     "-nostats", "-loglevel",    "error"};
    // The picture on stdin and the sound on the second pipe, both raw and fully described here.
    // ffmpeg opens its inputs one after the other, so it must not read ahead in one to learn about
    // it (by default up to 5 s), or it waits for sound while the picture it does not read blocks
    // the show: one packet each is enough.
    const std::vector<std::string> no_look_ahead = {"-probesize", "32", "-analyzeduration", "0"};
    args.insert(args.end(), no_look_ahead.begin(), no_look_ahead.end());
    args.insert(args.end(), {"-f", "rawvideo", "-pix_fmt", "bgr0", "-video_size",
                             std::to_string(frame_width) + "x" + std::to_string(rec.height),
                             "-framerate", std::to_string(options.refresh), "-i", "pipe:0"});
    args.insert(args.end(), no_look_ahead.begin(), no_look_ahead.end());
    args.insert(args.end(), {"-f", "s16le", "-ar", std::to_string(audio_rate), "-ac", "2", "-i",
                             rec.encoder.second_input, "-map", "0:v:0", "-map", "1:a:0"});
    if (rec.format == RecordFormat::lossless) {
        // Every dot comes back exactly: H.264 over the red, green and blue planes themselves,
        // no conversion; the fastest preset keeps up with the show.
        const std::string k = std::to_string(options.scale);
        if (options.scale > 1)
            args.insert(args.end(), {"-vf", "scale=iw*" + k + ":ih*" + k + ":flags=neighbor"});
        args.insert(args.end(), {"-c:v", "libx264rgb", "-preset", "ultrafast", "-qp", "0"});
        args.insert(args.end(), {"-c:a", "flac", "-frame_size", "1024", "-f", "matroska"});
    } else {
        // What every browser, phone and video site takes: H.264 High, 4:2:0, level 4.2, BT.709
        // tagged, the index at the front.
        args.insert(args.end(), {"-vf", share_filter(), "-c:v", "libx264", "-profile:v", "high",
                                 "-level:v", "4.2", "-colorspace", "bt709", "-color_primaries",
                                 "bt709", "-color_trc", "bt709", "-color_range", "tv"});
        // Chosen by measurement on the busiest stripe scenes (rotozoom with trails, twirl,
        // plasma), against the same fit kept lossless: the dots are all edges, so bits buy
        // detail directly. On the rotozoom CRF 23 takes 12 to 14 Mb/s with any preset (32 to 33
        // dB); superfast costs 25 ms a frame, veryfast 43 and faster 61 for 0.4 and 1 dB more,
        // and only superfast leaves the show and the scaling room to keep up on 2 cores.
        // CRF 22 capped at 14 Mb/s: 29 to 33 dB on those scenes, under 12 Mb/s over the show.
        args.insert(args.end(),
                    {"-preset", "superfast", "-crf", "22", "-maxrate", "14M", "-bufsize", "28M"});
        args.insert(args.end(),
                    {"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", "-f", "mp4"});
    }
    args.insert(args.end(), {"-y", rec.part});
    return args;
}

} // namespace

RecordFormat record_format(const std::string& path) {
    const std::string extension = lower(std::filesystem::path(path).extension().string());
    if (extension == ".mkv") return RecordFormat::lossless;
    if (extension == ".mp4" || extension == ".m4v" || extension == ".mov")
        return RecordFormat::compact;
    return RecordFormat::none;
}

bool recorder_open(std::string& error) {
    rec = Recording{};
    rec.output = options.record_file;
    rec.format = record_format(rec.output);
    if (rec.format == RecordFormat::none) {
        error = "cannot record to '" + rec.output +
                "': the file name must end in .mp4 (to share) or .mkv (lossless)";
        return false;
    }
    rec.ffmpeg = find_program("ffmpeg");
    if (rec.ffmpeg.empty()) {
        error = "recording needs ffmpeg, which is not on PATH; install the Debian package "
                "ffmpeg (sudo apt-get install ffmpeg)";
        return false;
    }
    std::error_code failed;
    if (std::filesystem::exists(rec.output, failed)) {
        if (std::filesystem::is_directory(rec.output, failed)) {
            error = "cannot record to '" + rec.output + "': it is a folder";
            return false;
        }
        // Opened for writing without truncating: a file we may not replace is refused now.
        FILE* existing = std::fopen(rec.output.c_str(), "r+b");
        if (!existing) {
            error = "cannot record to '" + rec.output + "': " + std::strerror(errno);
            return false;
        }
        std::fclose(existing);
    }
    // ffmpeg writes beside the output, on the same disk; making that file first tells whether
    // the folder takes files at all.
    rec.part = rec.output + ".part";
    FILE* probe = std::fopen(rec.part.c_str(), "wb");
    if (!probe) {
        error = "cannot record to '" + rec.output + "': " + std::strerror(errno);
        rec = Recording{};
        return false;
    }
    std::fclose(probe);

    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path temp_dir =
        tmp && *tmp ? std::filesystem::path(tmp) : std::filesystem::temp_directory_path(failed);
    std::string ignored;
    rec.log_path = make_temp_file((temp_dir / "vantrose-ffmpeg-").string(), ignored);

    rec.height = screen_height;
    if (rec.format == RecordFormat::compact && options.scale != 1) {
        error = "--scale enlarges the lossless .mkv by whole factors; the .mp4 is always the "
                "picture as a 1080p screen shows it (1440x1080 at 4:3)";
        remove_files();
        rec = Recording{};
        return false;
    }
    if (!make_child_pipes(rec.encoder, error) ||
        !spawn_child(ffmpeg_args(), rec.log_path, rec.encoder, error)) {
        remove_files();
        rec = Recording{};
        return false;
    }
    rec.video.open = rec.sound.open = true;
    // The frames of lag_samples and two to spare.
    const uint64_t lag_frames =
        2 + (uint64_t{lag_samples} * options.refresh + audio_rate - 1) / audio_rate;
    rec.video_lag = lag_frames * frame_width * 4 * static_cast<size_t>(rec.height);
    rec.open = true;
    rec.order_total = module_order_total();
    rec.terminal = stderr_is_terminal();
    rec.started = rec.last_progress = Clock::now();
    static bool registered = false;
    if (!registered) registered = std::atexit(abandon_recording) == 0;
    frame_sink = record_frame;

    if (rec.format == RecordFormat::lossless) {
        const int k = options.scale;
        std::fprintf(stderr,
                     "vantrose: recording the show to %s (lossless H.264 RGB and FLAC, %dx%d at "
                     "%u Hz, the exact picture)\n",
                     rec.output.c_str(), frame_width * k, rec.height * k, options.refresh);
    } else {
        const Viewport fit = share_fit();
        std::fprintf(stderr,
                     "vantrose: recording the show to %s (H.264 High 4:2:0 and AAC, %dx%d at "
                     "%u Hz, plays in browsers and on phones)\n",
                     rec.output.c_str(), fit.w, fit.h, share_rate);
    }
    return true;
}

void record_frame(const uint8_t* frame, int height, const int16_t* audio, size_t frames) {
    if (!rec.open || !rec.failure.empty()) return;
    if (height != rec.height) {
        fail("the frame height changed during the recording");
        return;
    }
    rec.sound.add(audio, frames * 2 * sizeof(int16_t));
    rec.video.add(frame, static_cast<size_t>(frame_width) * 4 * height);
    if (!pump()) return;
    ++rec.frames;
    if (rec.terminal) show_progress();
}

bool recorder_close() {
    if (!rec.open) return true;
    rec.open = false;
    end_progress_line();
    frame_sink = nullptr;

    if (rec.failure.empty()) drain();
    close_pipes();
    if (!rec.failure.empty()) child_kill(rec.encoder);
    const std::string ended = child_wait(rec.encoder);
    if (!ended.empty()) fail(ended);
    // Replacing a file already there, on every system (C's rename does not on Windows).
    std::error_code moved;
    if (rec.failure.empty()) std::filesystem::rename(rec.part, rec.output, moved);
    if (moved) fail("cannot put the recording in place as " + rec.output + ": " + moved.message());

    if (!rec.failure.empty()) {
        std::fprintf(stderr, "vantrose: the recording failed: %s; no video was written\n%s",
                     rec.failure.c_str(), log_tail().c_str());
        remove_files();
        return false;
    }
    remove_files();

    std::error_code ignored;
    const auto size = std::filesystem::file_size(rec.output, ignored);
    const std::string where = std::filesystem::absolute(rec.output, ignored).string();
    std::fprintf(stderr,
                 "vantrose: recorded %" PRIu64 " frames (%s at %u Hz) with sound to %s (%.1f MB)\n"
                 "vantrose: play it with: mpv %s   (or: ffplay -autoexit %s)\n",
                 rec.frames,
                 fraction_text(static_cast<double>(rec.frames) / options.refresh).c_str(),
                 options.refresh, where.c_str(), static_cast<double>(size) / 1e6,
                 shell_word(where).c_str(), shell_word(where).c_str());
    return true;
}

int show_end_status(bool complete) {
    if (options.record_file.empty()) return complete ? 1 : 0;
    const bool asked_for = options.frames != 0 && rec.frames >= options.frames;
    return complete || asked_for ? 0 : 1;
}

} // namespace vantrose
