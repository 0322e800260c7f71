#include "shell/recorder.h"

#include <fcntl.h>
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
#include <filesystem>
#include <vector>

#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "shell/startup.h"
#include "shell/trace.h"

extern char** environ;

namespace vantrose {

namespace {

using Clock = std::chrono::steady_clock;

struct Recording {
    bool open = false;
    std::string failure; // why the recording cannot be finished; empty while all is well
    RecordFormat format = RecordFormat::none;
    std::string output;     // the file asked for
    std::string video_part; // the encoder's video-only file
    std::string audio_part; // raw 16-bit stereo at 44100 Hz
    std::string mux_part;   // the muxed file before it takes the output's name
    std::string log_path;   // ffmpeg's messages, shown when it fails
    std::string ffmpeg;
    pid_t encoder = -1;
    int video_pipe = -1;
    FILE* audio = nullptr;
    int height = 0;
    uint64_t frames = 0;
    Clock::time_point started;
    Clock::time_point last_progress;
    bool progress_shown = false;
    bool terminal = false;
    int32_t order_total = 0; // orders of the module before its end mark
};

Recording rec;

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

// Runs `args` in a process group of its own, so that Ctrl-C at the terminal reaches only us and
// the encoder is ended by the closing pipe, not killed halfway through a frame.
pid_t spawn(const std::vector<std::string>& args, int stdin_fd, int stderr_fd) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdin_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdin_fd, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (stderr_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stderr_fd, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
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

// 0 when every byte went out, else the errno of the write that failed.
int write_all(int fd, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
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

void remove_parts() {
    for (const std::string* path : {&rec.video_part, &rec.audio_part, &rec.mux_part}) {
        if (!path->empty()) unlink(path->c_str());
    }
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
// the encoder is stopped and the parts removed, so no half-made file is left behind.
void abandon_recording() {
    if (!rec.open) return;
    rec.open = false;
    if (rec.video_pipe >= 0) close(rec.video_pipe);
    if (rec.encoder > 0) {
        kill(rec.encoder, SIGKILL);
        wait_for(rec.encoder);
    }
    if (rec.audio) std::fclose(rec.audio);
    remove_parts();
}

std::vector<std::string> encoder_args() {
    std::vector<std::string> args = {
        rec.ffmpeg,    "-hide_banner",
        "-nostdin",    "-nostats",
        "-loglevel",   "error",
        "-f",          "rawvideo",
        "-pix_fmt",    "bgr0",
        "-video_size", std::to_string(frame_width) + "x" + std::to_string(rec.height),
        "-framerate",  std::to_string(options.refresh),
        "-i",          "pipe:0"};
    const std::string k = std::to_string(options.scale);
    const std::string upscale = "scale=iw*" + k + ":ih*" + k + ":flags=neighbor";
    if (rec.format == RecordFormat::lossless) {
        // Lossless RGB: every dot comes back exactly; the fastest preset keeps up with the show.
        if (options.scale > 1) args.insert(args.end(), {"-vf", upscale});
        args.insert(args.end(), {"-c:v", "libx264rgb", "-preset", "ultrafast", "-qp", "0"});
    } else {
        // Full-resolution colour (4:4:4): the red, green and blue dots stay apart. The dots are
        // all chroma, so chroma gets finer steps than x264 gives it by default.
        args.insert(args.end(),
                    {"-vf", upscale + ":out_color_matrix=bt709:out_range=tv,format=yuv444p"});
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "6",
                                 "-x264-params", "chroma-qp-offset=-6"});
        args.insert(args.end(), {"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
                                 "bt709", "-color_range", "tv"});
    }
    // NUT keeps the exact 1/refresh time base until the final mux.
    args.insert(args.end(), {"-f", "nut", "-y", rec.video_part});
    return args;
}

std::vector<std::string> mux_args() {
    std::vector<std::string> args = {
        rec.ffmpeg,     "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-i",
        rec.video_part, "-f",           "s16le",    "-ar",      "44100",     "-ac",   "2",
        "-i",           rec.audio_part, "-map",     "0:v:0",    "-map",      "1:a:0", "-c:v",
        "copy"};
    if (rec.format == RecordFormat::lossless) {
        args.insert(args.end(), {"-c:a", "flac", "-f", "matroska"});
    } else {
        args.insert(args.end(),
                    {"-c:a", "aac", "-b:a", "256k", "-movflags", "+faststart", "-f", "mp4"});
    }
    args.insert(args.end(), {"-y", rec.mux_part});
    return args;
}

} // namespace

RecordFormat record_format(const std::string& path) {
    const std::string extension = lower(std::filesystem::path(path).extension().string());
    if (extension == ".mkv") return RecordFormat::lossless;
    if (extension == ".mp4" || extension == ".m4v" || extension == ".mov")
        return RecordFormat::h264_444;
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
    // The parts sit beside the output: the same disk, and writing the first tells whether the
    // folder takes files at all.
    rec.video_part = rec.output + ".video.part";
    rec.audio_part = rec.output + ".audio.part";
    rec.mux_part = rec.output + ".part";
    const int audio_fd =
        open(rec.audio_part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (audio_fd < 0) {
        error = "cannot record to '" + rec.output + "': " + std::strerror(errno);
        rec = Recording{};
        return false;
    }
    rec.audio = fdopen(audio_fd, "wb");
    if (!rec.audio) {
        error = "cannot record to '" + rec.output + "': " + std::strerror(errno);
        close(audio_fd);
        unlink(rec.audio_part.c_str());
        rec = Recording{};
        return false;
    }
    std::setvbuf(rec.audio, nullptr, _IOFBF, 1 << 16);

    const char* tmp = std::getenv("TMPDIR");
    std::string log_template = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrose-ffmpeg-XXXXXX";
    const int log_fd = mkostemp(log_template.data(), O_CLOEXEC);
    if (log_fd >= 0) rec.log_path = log_template;

    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
        if (log_fd >= 0) close(log_fd);
        std::fclose(rec.audio);
        remove_parts();
        rec = Recording{};
        return false;
    }
    // Room for a whole frame in the pipe lets the show draw the next while ffmpeg encodes.
    fcntl(pipe_fds[1], F_SETPIPE_SZ, 1 << 20);
    // A stopped encoder shows as EPIPE on the next write, not as a signal that kills us.
    std::signal(SIGPIPE, SIG_IGN);

    rec.height = screen_height;
    rec.encoder = spawn(encoder_args(), pipe_fds[0], log_fd);
    const int spawn_errno = errno;
    close(pipe_fds[0]);
    if (log_fd >= 0) close(log_fd);
    if (rec.encoder < 0) {
        error = "cannot start " + rec.ffmpeg + ": " + std::strerror(spawn_errno);
        close(pipe_fds[1]);
        std::fclose(rec.audio);
        remove_parts();
        rec = Recording{};
        return false;
    }
    rec.video_pipe = pipe_fds[1];
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
                 rec.format == RecordFormat::lossless ? "lossless H.264 RGB" : "H.264 4:4:4",
                 frame_width * k, rec.height * k, options.refresh);
    return true;
}

void record_frame(const uint8_t* frame, int height, const int16_t* audio, size_t frames) {
    if (!rec.open || !rec.failure.empty()) return;
    if (height != rec.height) {
        fail("the frame height changed during the recording");
        return;
    }
    const int error =
        write_all(rec.video_pipe, frame, static_cast<size_t>(frame_width) * 4 * height);
    if (error != 0) {
        fail(error == EPIPE
                 ? std::string("ffmpeg stopped taking frames")
                 : std::string("cannot send a frame to ffmpeg: ") + std::strerror(error));
        return;
    }
    if (frames > 0 && std::fwrite(audio, 2 * sizeof(int16_t), frames, rec.audio) != frames) {
        fail("cannot write the sound to " + rec.audio_part + ": " + std::strerror(errno));
        return;
    }
    ++rec.frames;
    if (rec.terminal) show_progress();
}

bool recorder_close() {
    if (!rec.open) return true;
    rec.open = false;
    end_progress_line();
    frame_sink = nullptr;

    close(rec.video_pipe);
    rec.video_pipe = -1;
    if (!rec.failure.empty()) kill(rec.encoder, SIGKILL);
    const std::string encoded = wait_for(rec.encoder);
    rec.encoder = -1;
    if (!encoded.empty() && rec.failure.empty()) fail(encoded + " while encoding the video");
    const bool flushed = std::fflush(rec.audio) == 0;
    const int flush_errno = errno;
    if (std::fclose(rec.audio) != 0 || !flushed) {
        fail("cannot write the sound to " + rec.audio_part + ": " +
             std::strerror(flushed ? errno : flush_errno));
    }
    rec.audio = nullptr;
    if (rec.failure.empty() && rec.frames == 0) fail("no frame was presented");

    if (rec.failure.empty()) {
        const int log_fd =
            rec.log_path.empty() ? -1 : open(rec.log_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const pid_t muxer = spawn(mux_args(), -1, log_fd);
        const int spawn_errno = errno;
        if (log_fd >= 0) close(log_fd);
        if (muxer < 0) {
            fail("cannot start " + rec.ffmpeg + ": " + std::strerror(spawn_errno));
        } else {
            const std::string muxed = wait_for(muxer);
            if (!muxed.empty()) fail(muxed + " while adding the sound");
        }
    }
    if (rec.failure.empty() && std::rename(rec.mux_part.c_str(), rec.output.c_str()) != 0) {
        fail("cannot put the recording in place as " + rec.output + ": " + std::strerror(errno));
    }

    if (!rec.failure.empty()) {
        std::fprintf(stderr, "vantrose: the recording failed: %s; no video was written\n%s",
                     rec.failure.c_str(), log_tail().c_str());
        remove_parts();
        return false;
    }
    remove_parts();

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

} // namespace vantrose
