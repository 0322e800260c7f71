// Runs the real program for end-to-end and window tests (arguments, environment, folder, file
// size limit, captured output, a time limit, the exit status) and reads what it leaves behind.
#pragma once
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/shell/tiny_s3m.h"

namespace vantrose::test_support {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1; // exit status, or -1 when killed
    bool timed_out = false;
    std::string out, err;
};

inline std::string read_file(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The standard output of a shell command.
inline std::string shell(const std::string& command, int* status = nullptr) {
    std::string out;
    int result = -1;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        result = ::pclose(p);
    }
    if (status) *status = result;
    return out;
}

inline std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

// Lines of stderr that are not ours (library noise).
inline std::string foreign_lines(const std::string& err) {
    std::string foreign;
    for (const std::string& line : lines_starting(err, ""))
        if (line.rfind("vantrose: ", 0) != 0 && line.rfind("DDRAW ERROR: ", 0) != 0 &&
            line.rfind("Run with --headless", 0) != 0)
            foreign += line + "\n";
    return foreign;
}

// An empty folder of our own under the temporary one.
inline std::string scratch(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("vantrose-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

// A data folder for a run: copies of the built archive and module, or with `rows` a module whose
// orders last that many rows of 1/102 s each: 64 rows bring the first effect scene after 3 s, 4
// rows the first 3D scene after a few.
inline std::string make_data_dir(const std::string& name, int rows = 0) {
    const std::string dir = scratch(name);
    for (const char* file : {"vantrose.dat", "vantrose.s3m"})
        fs::copy_file(fs::path(VANTROSE_DATA) / file, fs::path(dir) / file);
    if (rows) write_bytes(dir + "/vantrose.s3m", tiny_s3m(200, 1, 255, rows));
    return dir;
}

inline std::string frame_name(long frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06ld.png", frame);
    return name;
}

struct Image {
    int w = 0, h = 0;
    std::string rgb;
    using Rgb = std::array<int, 3>;
    Rgb at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * w + x) * 3;
        if (x >= w || y >= h || i + 2 >= rgb.size()) return {-1, -1, -1};
        return {static_cast<uint8_t>(rgb[i]), static_cast<uint8_t>(rgb[i + 1]),
                static_cast<uint8_t>(rgb[i + 2])};
    }
    bool grey(int x, int y, int level) const { return at(x, y) == Rgb{level, level, level}; }
};

// A PNG as RGB; empty when it cannot be read.
inline Image read_png(const std::string& file) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, file.c_str())) return {};
    png.format = PNG_FORMAT_RGB;
    Image image{static_cast<int>(png.width), static_cast<int>(png.height),
                std::string(PNG_IMAGE_SIZE(png), '\0')};
    png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr);
    return image;
}

// How to start the program: its arguments, environment changes, folder, a file size limit in
// bytes (a full disk; 0: none), and a descriptor for stderr instead of a file.
struct Launch {
    std::vector<std::string> args, unset = {}, set = {};
    std::string cwd = "";
    rlim_t file_limit = 0;
    int err_fd = -1;
};

// A program started in the background; finish() waits for it (killing it past the limit).
class Program {
  public:
    Program(std::vector<std::string> args) : Program(Launch{std::move(args)}) {}
    explicit Program(Launch how) {
        static int counter = 0;
        const std::string base =
            fs::temp_directory_path() /
            ("vantrose-run-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        out_path_ = base + ".out";
        err_path_ = base + ".err";
        pid_ = ::fork();
        if (pid_ != 0) return;
        if (!how.cwd.empty() && ::chdir(how.cwd.c_str()) != 0) ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = how.err_fd >= 0
                            ? how.err_fd
                            : ::open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0), ::dup2(out, 1), ::dup2(err, 2);
        for (const std::string& name : how.unset) ::unsetenv(name.c_str());
        for (std::string& pair : how.set) ::putenv(pair.data());
        if (how.file_limit > 0) {
            const rlimit limit{how.file_limit, how.file_limit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN); // a write past it fails instead of killing
        }
        std::vector<char*> argv{const_cast<char*>(VANTROSE_BIN)};
        for (std::string& a : how.args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(VANTROSE_BIN, argv.data());
        ::_exit(127);
    }
    ~Program() {
        if (pid_ > 0 && !done_) finish(0);
        fs::remove(out_path_);
        fs::remove(err_path_);
    }
    pid_t pid() const { return pid_; }
    bool running() {
        int status = 0;
        if (done_ || ::waitpid(pid_, &status, WNOHANG) != pid_) return !done_;
        done_ = true;
        result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    void signal(int number) {
        if (!done_) ::kill(pid_, number);
    }
    // Waits until the program has written `text` to stderr; false when it ended or the time ran
    // out first.
    bool wait_for_err(const std::string& text, double seconds) {
        return wait(seconds, [&] { return read_file(err_path_).find(text) != std::string::npos; });
    }
    RunResult finish(double seconds) {
        if (!wait(seconds, [&] { return !running(); })) {
            result_.timed_out = true;
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            done_ = true;
        }
        result_.out = read_file(out_path_);
        result_.err = read_file(err_path_);
        return result_;
    }

  private:
    // Polls `done` until it holds, the program has ended or the time is up; its last answer.
    template <class Done> bool wait(double seconds, Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && running() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    }
    pid_t pid_ = -1;
    bool done_ = false;
    RunResult result_;
    std::string out_path_, err_path_;
};

inline RunResult run_program(Launch how, double seconds = 60) {
    return Program(std::move(how)).finish(seconds);
}
inline RunResult run_program(std::vector<std::string> args, double seconds = 60) {
    return run_program(Launch{std::move(args)}, seconds);
}

} // namespace vantrose::test_support
