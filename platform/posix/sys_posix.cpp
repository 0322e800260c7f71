// The non-portable calls on POSIX systems (Linux).
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/sys.h"

extern char** environ;

namespace vantrose {

namespace {

void (*end_handler)() = nullptr;

extern "C" void on_end_signal(int) {
    if (end_handler) end_handler();
}

std::string errno_text(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
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

// The child's reading ends, until it has them.
int child_ends[2] = {-1, -1};

void close_child_ends() {
    for (int& fd : child_ends) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

} // namespace

void catch_end_signals(void (*on_end)()) {
    end_handler = on_end;
    std::signal(SIGINT, on_end_signal);
    std::signal(SIGTERM, on_end_signal);
}

bool stderr_is_terminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::string program_folder() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::string() : program.parent_path().string();
}

std::string make_temp_file(const std::string& prefix, std::string& error) {
    std::string path = prefix + "XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return {};
    }
    close(fd);
    return path;
}

std::string find_program(const std::string& name) {
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

bool make_child_pipes(ChildProcess& child, std::string& error) {
    int video[2], sound[2];
    const bool piped = make_pipe(video);
    if (!piped || !make_pipe(sound)) {
        error = errno_text("cannot make a pipe to ffmpeg");
        if (piped) close(video[0]), close(video[1]);
        return false;
    }
    // A whole frame fits in the pipe, so the show draws the next while the child works.
    fcntl(video[1], F_SETPIPE_SZ, 1 << 20);
    fcntl(video[1], F_SETFL, O_NONBLOCK);
    fcntl(sound[1], F_SETFL, O_NONBLOCK);
    child_ends[0] = video[0];
    child_ends[1] = sound[0];
    child.pipes[0] = video[1];
    child.pipes[1] = sound[1];
    child.second_input = "pipe:3";
    // A child that stopped reading shows as EPIPE on the next write, not as a signal that
    // kills us.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// Started in a process group of its own: Ctrl-C at the terminal reaches only us, and the child
// is ended by the closing pipes, never halfway through a frame.
bool spawn_child(const std::vector<std::string>& args, const std::string& log_path,
                 ChildProcess& child, std::string& error) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, child_ends[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log_path.empty() ? "/dev/null" : log_path.c_str(),
                                     O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_adddup2(&actions, child_ends[1], 3);
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
    const int failed = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close_child_ends();
    if (failed != 0) {
        error = "cannot start " + args[0] + ": " + std::strerror(failed);
        pipe_close(child, 0);
        pipe_close(child, 1);
        return false;
    }
    child.id = pid;
    return true;
}

int64_t pipe_write(ChildProcess& child, int pipe, const uint8_t* bytes, size_t size, bool& broken,
                   std::string& error) {
    for (;;) {
        const ssize_t n = write(static_cast<int>(child.pipes[pipe]), bytes, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return 0;
        broken = errno == EPIPE;
        error = std::strerror(errno);
        return -1;
    }
}

int pipe_wait(ChildProcess& child, const bool waiting[2], int timeout_ms, std::string& error) {
    pollfd fds[2];
    nfds_t count = 0;
    for (int i = 0; i < 2; ++i) {
        if (waiting[i] && child.pipes[i] >= 0)
            fds[count++] = pollfd{static_cast<int>(child.pipes[i]), POLLOUT, 0};
    }
    const int ready = poll(fds, count, timeout_ms);
    if (ready < 0 && errno != EINTR) {
        error = std::strerror(errno);
        return -1;
    }
    return ready != 0 ? 1 : 0;
}

void pipe_close(ChildProcess& child, int pipe) {
    if (child.pipes[pipe] >= 0) close(static_cast<int>(child.pipes[pipe]));
    child.pipes[pipe] = -1;
}

void child_kill(ChildProcess& child) {
    if (child.id > 0) kill(static_cast<pid_t>(child.id), SIGKILL);
}

std::string child_wait(ChildProcess& child) {
    if (child.id <= 0) return {};
    const pid_t pid = static_cast<pid_t>(child.id);
    child.id = -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return errno_text("cannot wait for ffmpeg");
    }
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 0) return {};
        return "ffmpeg ended with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status))
        return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended abnormally";
}

} // namespace vantrose
