// Runs the real program for end-to-end and window tests: arguments, environment changes,
// captured output, a time limit, and the exit status.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/shell/tiny_s3m.h"

namespace vantrose::test_support {

struct RunResult {
    int status = -1; // exit status, or -1 when killed
    bool timed_out = false;
    std::string out, err;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A program started in the background; finish() waits for it (killing it past the limit).
class Program {
  public:
    Program(std::vector<std::string> args, std::vector<std::string> unset = {},
            std::vector<std::string> set = {}) {
        const std::string base =
            std::filesystem::temp_directory_path() /
            ("vantrose-run-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        out_path_ = base + ".out";
        err_path_ = base + ".err";
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int in = ::open("/dev/null", O_RDONLY);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            for (const std::string& name : unset) ::unsetenv(name.c_str());
            for (const std::string& pair : set) ::putenv(const_cast<char*>(pair.c_str()));
            std::vector<char*> argv{const_cast<char*>(VANTROSE_BIN)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(VANTROSE_BIN, argv.data());
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !done_) finish(0);
        std::filesystem::remove(out_path_);
        std::filesystem::remove(err_path_);
    }
    bool running() {
        if (done_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            done_ = true;
            result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return true;
    }
    void signal(int number) {
        if (!done_) ::kill(pid_, number);
    }
    // Waits until the program has written `text` to stderr; false when it ended or the time ran
    // out first.
    bool wait_for_err(const std::string& text, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        do {
            if (read_file(err_path_).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (running() && std::chrono::steady_clock::now() < end);
        return read_file(err_path_).find(text) != std::string::npos;
    }
    RunResult finish(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (running() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (running()) {
            result_.timed_out = true;
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            done_ = true;
        }
        result_.out = read_file(out_path_);
        result_.err = read_file(err_path_);
        return result_;
    }

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    pid_t pid_ = -1;
    bool done_ = false;
    RunResult result_;
    std::string out_path_, err_path_;
};

inline RunResult run_program(std::vector<std::string> args, double seconds = 60,
                             std::vector<std::string> unset = {}) {
    Program p(std::move(args), std::move(unset));
    return p.finish(seconds);
}

// A data folder for a run: copies of the built archive and module.
inline std::string make_data_dir(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("vantrose-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const char* file : {"vantrose.dat", "vantrose.s3m"})
        std::filesystem::copy_file(std::filesystem::path(VANTROSE_DATA) / file, dir / file);
    return dir.string();
}

// A data folder with the built archive and a module whose orders last `rows` rows of 1/102 s
// each: 64 rows bring the first effect scene after 3 s, 4 rows the first 3D scene after a few.
inline std::string make_quick_data_dir(const std::string& name, int rows) {
    const std::string dir = make_data_dir(name);
    write_bytes(dir + "/vantrose.s3m", tiny_s3m(200, 1, 255, rows));
    return dir;
}

// Points archive entry `index` at the packed bytes of entry `from` (a larger one: the entry
// then decodes to more than its destination holds).
inline void damage_entry(const std::string& archive, uint32_t index, uint32_t from) {
    std::string bytes = read_file(archive);
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(bytes[at + k]);
        return v;
    };
    const size_t directory = bytes.size() - u32(bytes.size() - 4);
    bytes.replace(directory + 8 * index, 8, bytes, directory + 8 * from, 8);
    std::ofstream(archive, std::ios::binary) << bytes;
}

// The ways a show on the real clock ends early, for a headless run and a window alike: `how`
// are the options that choose one. Each returns the run once the program has ended.

// Entry 0 is loaded as the first effect scene starts, seconds after the timer.
inline RunResult end_by_damaged_entry(std::vector<std::string> how, const std::string& dir) {
    damage_entry(dir + "/vantrose.dat", 0, 27);
    for (const char* a : {"--trace", "--data"}) how.push_back(a);
    how.push_back(dir);
    return Program(how).finish(60);
}

inline RunResult end_by_removed_archive(std::vector<std::string> how, const std::string& dir) {
    for (const char* a : {"--trace", "--data"}) how.push_back(a);
    how.push_back(dir);
    Program p(how);
    // Scene 1 starts once the opening picture is loaded and the timer runs.
    if (p.wait_for_err("scene 1 ", 30)) std::filesystem::remove(dir + "/vantrose.dat");
    return p.finish(60);
}

inline RunResult end_by_sigterm_in_3d(std::vector<std::string> how, const std::string& dir,
                                      bool* reached) {
    for (const char* a : {"--trace", "--data"}) how.push_back(a);
    how.push_back(dir);
    Program p(how);
    // The first 3D scene's first phase: the model slides in for 5 s of ticks.
    *reached = p.wait_for_err("\nphase 1 ", 60);
    p.signal(SIGTERM);
    return p.finish(30);
}

} // namespace vantrose::test_support
