#include "capture/recorder.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <initializer_list>
#include <vector>

#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "platform/platform.h"
#include "shell/startup.h"
#include "capture/trace.h"

extern char** environ;

namespace vantrose {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes on their way into a pipe, a frame's worth per chunk: written as far as the pipe takes
// them, never blocking. Sent chunks are kept for reuse, so steady recording allocates nothing.
struct Outbox {
    int fd = -1;
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
    // 0 when the pipe took what it could, else the errno of the write that failed.
    int send() {
        while (!chunks.empty()) {
            std::vector<uint8_t>& first = chunks.front();
            if (head < first.size()) {
                const ssize_t n = write(fd, first.data() + head, first.size() - head);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    return errno == EAGAIN ? 0 : errno;
                }
                head += static_cast<size_t>(n);
                waiting -= static_cast<size_t>(n);
                if (head < first.size()) continue;
            }
            spare.push_back(std::move(first));
            chunks.pop_front();
            head = 0;
        }
        return 0;
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
    pid_t encoder = -1;
    Outbox video;
    Outbox sound;
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

// ffmpeg that takes no byte for this long has hung: the recording fails rather than waits.
constexpr int stall_ms = 60000;
// How far the picture may run behind the sound in the pipes, in samples: twice what ffmpeg can
// need ahead of the picture it has muxed (see pump). Below 3072 recordings at 1000 Hz stall.
constexpr uint32_t lag_samples = 6144;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The program file `name` on PATH, empty when there is none.
std::string find_program(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(begin, end - begin);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        begin = end + 1;
    }
    return {};
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

// Runs ffmpeg with the picture pipe as its stdin, the sound pipe as fd 3 and its messages into
// the log, in a process group of its own: Ctrl-C at the terminal reaches only us, and ffmpeg is
// ended by the closing pipes, never halfway through a frame.
pid_t spawn(const std::vector<std::string>& args, int video_fd, int sound_fd, int log_fd) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video_fd, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (log_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, log_fd, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, sound_fd, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

// Waits for the process; empty when it exited with status 0, else how it ended.
std::string wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return std::string("cannot wait for ffmpeg: ") + std::strerror(errno);
    }
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 0) return {};
        return "ffmpeg ended with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status))
        return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended abnormally";
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
    pollfd waiting[2];
    nfds_t count = 0;
    for (Outbox* box : {&rec.sound, &rec.video}) {
        if (box->fd >= 0 && box->pending() > 0) waiting[count++] = pollfd{box->fd, POLLOUT, 0};
    }
    const int ready = poll(waiting, count, stall_ms);
    if (ready < 0 && errno != EINTR) {
        fail(std::string("cannot wait for ffmpeg: ") + std::strerror(errno));
        return false;
    }
    if (ready == 0) {
        fail("ffmpeg took nothing for " + std::to_string(stall_ms / 1000) + " s");
        return false;
    }
    return true;
}

bool send(Outbox& box) {
    const int error = box.send();
    if (error == 0) return true;
    fail(error == EPIPE ? std::string("ffmpeg stopped taking frames")
                        : std::string("cannot send the show to ffmpeg: ") + std::strerror(error));
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
            if (box->fd < 0) continue;
            if (!send(*box)) return false;
            if (box->pending() == 0) {
                close(box->fd);
                box->fd = -1;
            }
        }
        if (rec.sound.fd < 0 && rec.video.fd < 0) return true;
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
        if (box->fd >= 0) close(box->fd);
        box->fd = -1;
    }
}

void remove_files() {
    if (!rec.part.empty()) unlink(rec.part.c_str());
    if (!rec.log_path.empty()) unlink(rec.log_path.c_str());
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
    if (rec.encoder > 0) {
        kill(rec.encoder, SIGKILL);
        wait_for(rec.encoder);
    }
    remove_files();
}

std::vector<std::string> ffmpeg_args() {
    std::vector<std::string> args = {rec.ffmpeg, "-hide_banner", "-nostdin",
                                     "-nostats", "-loglevel",    "error"};
    // The picture on stdin and the sound on fd 3, both raw and fully described here. ffmpeg
    // opens its inputs one after the other, so it must not read ahead in one to learn about it
    // (by default up to 5 s), or it waits for sound while the picture it does not read blocks
    // the show: one packet each is enough.
    const std::vector<std::string> no_look_ahead = {"-probesize", "32", "-analyzeduration", "0"};
    args.insert(args.end(), no_look_ahead.begin(), no_look_ahead.end());
    args.insert(args.end(), {"-f", "rawvideo", "-pix_fmt", "bgr0", "-video_size",
                             std::to_string(frame_width) + "x" + std::to_string(rec.height),
                             "-framerate", std::to_string(options.refresh), "-i", "pipe:0"});
    args.insert(args.end(), no_look_ahead.begin(), no_look_ahead.end());
    args.insert(args.end(), {"-f", "s16le", "-ar", std::to_string(audio_rate), "-ac", "2", "-i",
                             "pipe:3", "-map", "0:v:0", "-map", "1:a:0"});
    const std::string k = std::to_string(options.scale);
    if (options.scale > 1) {
        args.insert(args.end(), {"-vf", "scale=iw*" + k + ":ih*" + k + ":flags=neighbor"});
    }
    // H.264 over the red, green and blue planes themselves (libx264rgb): no conversion to YUV,
    // no chroma subsampling, and players decode straight back to RGB, so every dot keeps its
    // own colour.
    if (rec.format == RecordFormat::lossless) {
        // Every dot comes back exactly; the fastest preset keeps up with the show.
        args.insert(args.end(), {"-c:v", "libx264rgb", "-preset", "ultrafast", "-qp", "0"});
        args.insert(args.end(), {"-c:a", "flac", "-frame_size", "1024", "-f", "matroska"});
    } else {
        // Chosen by measurement against the lossless file on the busiest stripe scenes (rotozoom
        // with trails, twirl, plasma): the dot pattern is all edges, so bits buy sharpness
        // directly. CRF 16 keeps them at 35 dB (the dots stay sharp at 100 %) with 15 Mb/s
        // there, 9.4 Mb/s over the whole show; 5 Mb/s smears them (25 dB, 30 with the medium
        // preset). ultrafast needs twice the bits for the same picture; "faster" and "medium" save
        // bits but record at under 3 times real time on 2 cores.
        args.insert(args.end(), {"-c:v", "libx264rgb", "-preset", "veryfast", "-crf", "16"});
        args.insert(args.end(),
                    {"-c:a", "aac", "-b:a", "256k", "-movflags", "+faststart", "-f", "mp4"});
    }
    args.insert(args.end(), {"-y", rec.part});
    return args;
}

// A pipe whose two ends sit at fd 10 or above, close-on-exec: clear of 0..3, which the child's
// ends are moved to.
bool make_pipe(int fds[2]) {
    int raw[2];
    if (pipe(raw) != 0) return false;
    for (int i = 0; i < 2; ++i) {
        fds[i] = fcntl(raw[i], F_DUPFD_CLOEXEC, 10);
        close(raw[i]);
    }
    if (fds[0] >= 0 && fds[1] >= 0) return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i] >= 0) close(fds[i]);
    }
    return false;
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
                "': the file name must end in .mkv (lossless) or .mp4 (H.264, full colour)";
        return false;
    }
    rec.ffmpeg = find_program("ffmpeg");
    if (rec.ffmpeg.empty()) {
        error = "recording needs ffmpeg, which is not on PATH; install the Debian package "
                "ffmpeg (sudo apt-get install ffmpeg)";
        return false;
    }
    struct stat info;
    if (stat(rec.output.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = "cannot record to '" + rec.output + "': it is a folder";
            return false;
        }
        if (access(rec.output.c_str(), W_OK) != 0) {
            error = "cannot record to '" + rec.output + "': " + std::strerror(errno);
            return false;
        }
    }
    // ffmpeg writes beside the output, on the same disk; making that file first tells whether
    // the folder takes files at all.
    rec.part = rec.output + ".part";
    const int probe = open(rec.part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (probe < 0) {
        error = "cannot record to '" + rec.output + "': " + std::strerror(errno);
        rec = Recording{};
        return false;
    }
    close(probe);

    const char* tmp = std::getenv("TMPDIR");
    std::string log_template = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrose-ffmpeg-XXXXXX";
    const int log_fd = mkostemp(log_template.data(), O_CLOEXEC);
    if (log_fd >= 0) rec.log_path = log_template;

    int video_fds[2], sound_fds[2];
    const bool piped = make_pipe(video_fds);
    if (!piped || !make_pipe(sound_fds)) {
        error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
        if (piped) close(video_fds[0]), close(video_fds[1]);
        if (log_fd >= 0) close(log_fd);
        remove_files();
        rec = Recording{};
        return false;
    }
    // A whole frame fits in the pipe, so the show draws the next while ffmpeg encodes.
    fcntl(video_fds[1], F_SETPIPE_SZ, 1 << 20);
    // A stopped ffmpeg shows as EPIPE on the next write, not as a signal that kills us.
    std::signal(SIGPIPE, SIG_IGN);

    rec.height = screen_height;
    rec.encoder = spawn(ffmpeg_args(), video_fds[0], sound_fds[0], log_fd);
    const int spawn_errno = errno;
    close(video_fds[0]);
    close(sound_fds[0]);
    if (log_fd >= 0) close(log_fd);
    rec.video.fd = video_fds[1];
    rec.sound.fd = sound_fds[1];
    if (rec.encoder < 0) {
        error = "cannot start " + rec.ffmpeg + ": " + std::strerror(spawn_errno);
        close_pipes();
        remove_files();
        rec = Recording{};
        return false;
    }
    fcntl(rec.video.fd, F_SETFL, O_NONBLOCK);
    fcntl(rec.sound.fd, F_SETFL, O_NONBLOCK);
    // The frames of lag_samples and two to spare.
    const uint64_t lag_frames =
        2 + (uint64_t{lag_samples} * options.refresh + audio_rate - 1) / audio_rate;
    rec.video_lag = lag_frames * frame_width * 4 * static_cast<size_t>(rec.height);
    rec.open = true;
    rec.order_total = module_order_total();
    rec.terminal = isatty(STDERR_FILENO) == 1;
    rec.started = rec.last_progress = Clock::now();
    static bool registered = false;
    if (!registered) registered = std::atexit(abandon_recording) == 0;
    frame_sink = record_frame;

    const int k = options.scale;
    std::fprintf(stderr, "vantrose: recording the show to %s (%s, %dx%d at %u Hz)\n",
                 rec.output.c_str(),
                 rec.format == RecordFormat::lossless ? "lossless H.264 RGB" : "H.264 RGB",
                 frame_width * k, rec.height * k, options.refresh);
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
    if (!rec.failure.empty()) kill(rec.encoder, SIGKILL);
    const std::string ended = wait_for(rec.encoder);
    rec.encoder = -1;
    if (!ended.empty()) fail(ended);
    if (rec.failure.empty() && std::rename(rec.part.c_str(), rec.output.c_str()) != 0) {
        fail("cannot put the recording in place as " + rec.output + ": " + std::strerror(errno));
    }

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
