// Escape during the show, in a window on the virtual clock so that the late scenes are reached in
// seconds. xdotool delivers keys whenever the X server gets round to it, so the program is held
// still while the key travels: its stderr is a pipe that we fill from our side, which stops it at
// its next trace line. Let go with the key already waiting in its connection, it must present
// exactly the one frame it was about to draw, see the key in the pump after that frame, shut
// down and end with status 0.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <fstream>
#include <optional>
#include <regex>
#include <vector>

#include "tests/gui/x_display.h"

using namespace vantrose::test_support;

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The program with its stderr on a pipe read line by line. We keep a write end of our own:
// filling the pipe from it makes the program's next write to stderr wait until we read.
class TracedProgram {
  public:
    explicit TracedProgram(std::vector<std::string> args) {
        int fds[2] = {-1, -1};
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(fds[1], 2);
            std::vector<char*> argv{const_cast<char*>(VANTROSE_BIN)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(VANTROSE_BIN, argv.data());
            ::_exit(127);
        }
        // Opened afresh so that non-blocking applies to our writes only, not to the program's.
        filler_ = ::open(("/proc/self/fd/" + std::to_string(fds[1])).c_str(),
                         O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ::close(fds[1]);
        read_ = fds[0];
    }
    ~TracedProgram() {
        if (pid_ > 0 && !reaped()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (filler_ >= 0) ::close(filler_);
        if (read_ >= 0) ::close(read_);
    }
    bool started() const { return pid_ > 0 && read_ >= 0 && filler_ >= 0; }

    // The next line the program wrote (the empty lines of our filling skipped); none at the end
    // of its output or at the deadline.
    std::optional<std::string> next_line(Clock::time_point deadline) {
        for (;;) {
            size_t end;
            while ((end = pending_.find('\n')) != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (line.empty()) continue;
                lines_ += line + "\n";
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{read_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char buffer[65536];
            const ssize_t n = ::read(read_, buffer, sizeof buffer);
            if (n <= 0) return {};
            pending_.append(buffer, static_cast<size_t>(n));
        }
    }

    // Fills the pipe to the last byte: the program's next write to stderr waits. Writes of up to
    // 4096 bytes go in whole or not at all, so halving the size leaves no room even for one.
    void fill() {
        for (size_t size = 4096; size > 0; size /= 2) {
            const std::string newlines(size, '\n');
            while (::write(filler_, newlines.data(), size) == static_cast<ssize_t>(size)) {
            }
        }
    }

    // True once the program's main thread waits in a write to stderr.
    bool held(Clock::time_point deadline) {
        const std::string waiting = std::to_string(SYS_write) + " 0x2 ";
        do {
            if (reaped()) return false;
            const std::string now = read_file("/proc/" + std::to_string(pid_) + "/syscall");
            if (now.compare(0, waiting.size(), waiting) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (Clock::now() < deadline);
        return false;
    }

    // Lets the program write on once we read: our write end goes, the filling is read away.
    void release() {
        if (filler_ >= 0) ::close(filler_);
        filler_ = -1;
    }

    // Reads the rest of the output and waits for the end; the exit status, -1 when killed or
    // still running at the deadline.
    int finish(Clock::time_point deadline) {
        release();
        while (next_line(deadline)) {
        }
        while (!reaped() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!reaped()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        return status_;
    }

    const std::string& output() const { return lines_; }

  private:
    static std::string read_file(const std::string& path) {
        std::ifstream in(path);
        std::string text;
        std::getline(in, text);
        return text;
    }
    bool reaped() {
        if (exited_) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
        exited_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

    pid_t pid_ = -1;
    int read_ = -1;
    int filler_ = -1;
    bool exited_ = false;
    int status_ = -1;
    std::string pending_, lines_;
};

// A point of the show as the trace names it: a scene start, or a 3D phase within a scene.
struct Moment {
    int scene;
    int phase = 0;
};

// A trace line: "scene N frame F ..." or "phase P frame F ...".
struct TraceLine {
    bool phase;
    int number;
    uint64_t frame;
};

std::optional<TraceLine> parse_trace(const std::string& line) {
    static const std::regex form(
        R"(^(scene|phase) (\d+) frame (\d+) tick \d+ order -?\d+ row \d+$)");
    std::smatch m;
    if (!std::regex_match(line, m, form)) return {};
    return TraceLine{m[1] == "phase", std::stoi(m[2]), std::stoull(m[3])};
}

// Follows the trace: the moment a line marks, given the scene it falls in.
Moment moment_of(const TraceLine& t, int& scene) {
    if (!t.phase) scene = t.number;
    return {scene, t.phase ? t.number : 0};
}

bool operator==(const Moment& a, const Moment& b) {
    return a.scene == b.scene && a.phase == b.phase;
}

std::string describe(const Moment& m) {
    return "scene " + std::to_string(m.scene) +
           (m.phase ? " phase " + std::to_string(m.phase) : std::string());
}

// The window as it was while the program was held.
struct HeldWindow {
    Geometry place;
    Image shot;
};

class EscapeGui : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (./test starts one)";
        ASSERT_EQ(shell("which xdotool import convert | wc -l"), "3\n")
            << "xdotool and ImageMagick drive these tests (scripts/setup.sh installs them)";
        lock_ = lock_display();
        ASSERT_GE(lock_, 0);
    }
    void TearDown() override {
        if (lock_ >= 0) ::close(lock_);
    }

    // Runs the show until the trace reaches `before`, holds the program at its next trace line,
    // which must be `at`, presses Escape and lets it go.
    HeldWindow escape_at(Moment before, Moment at, const std::string& name) {
        // 20 Hz: a third of the frames of 60 for the same show time (the scroller's text moves
        // by the frame and takes as many either way), so scene 41 comes in well under a minute
        // even on a busy machine.
        TracedProgram p({"--mode", "400", "--window", "--clock", "virtual", "--refresh", "20",
                         "--trace", "--stats", "--data", VANTROSE_DATA});
        if (!p.started()) {
            ADD_FAILURE() << "cannot start the program";
            return {};
        }
        const Clock::time_point deadline = after(90);
        int scene = 0;
        bool reached = false;
        while (const auto line = p.next_line(deadline)) {
            const auto t = parse_trace(*line);
            if (t && moment_of(*t, scene) == before) {
                reached = true;
                break;
            }
        }
        if (!reached) {
            ADD_FAILURE() << "the trace never reached " << describe(before) << ":\n" << p.output();
            return {};
        }
        p.fill();
        if (!p.held(deadline)) {
            ADD_FAILURE() << "the program did not stop at its next trace line:\n" << p.output();
            return {};
        }
        const long window = find_window("^Quorv! - Vantrose$", 5);
        if (window == 0) {
            ADD_FAILURE() << "no show window";
            return {};
        }
        const HeldWindow seen{geometry(window), screenshot("escape-" + name)};
        x_command("xdotool windowfocus --sync " + std::to_string(window));
        key("Escape");
        // Once the X server has answered a later request it has passed the key on; the rest is
        // the socket's.
        x_command("xdotool getwindowfocus");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(p.held(after(0))) << "still held while the key travelled";
        const int status = p.finish(after(30));

        // The line it was held at is the last trace line; one frame after it the show ended.
        std::optional<TraceLine> last;
        Moment held{0};
        scene = 0;
        uint64_t frames = 0;
        bool frames_seen = false;
        std::istringstream out(p.output());
        for (std::string line; std::getline(out, line);) {
            if (const auto t = parse_trace(line)) {
                last = t;
                held = moment_of(*t, scene);
            }
            if (line.rfind("frames ", 0) == 0) {
                frames = std::stoull(line.substr(7));
                frames_seen = true;
            }
        }
        EXPECT_EQ(status, 0) << p.output();
        EXPECT_TRUE(last && held == at)
            << "held at " << describe(held) << ", not " << describe(at) << ":\n"
            << p.output();
        EXPECT_TRUE(frames_seen) << "shutdown printed the figures:\n" << p.output();
        if (last) {
            EXPECT_EQ(frames, last->frame + 1)
                << "the key was waiting before frame " << last->frame
                << " was drawn, so the pump after that frame ends the show:\n"
                << p.output();
        }
        EXPECT_EQ(p.output().find("StopSong"), std::string::npos) << "the music stopped";
        EXPECT_EQ(p.output().find("FreeSong"), std::string::npos) << "and was freed";
        EXPECT_FALSE(window_exists("^Quorv! - Vantrose$")) << "the window is gone";
        return seen;
    }

    int lock_ = -1;
};

} // namespace

TEST_F(EscapeGui, DuringA2DEffectSceneEndsTheShowAtTheNextFrame) {
    // Scene 6: the first picture over the layered rotozoom; held as scene 5 hands over.
    const HeldWindow held = escape_at({5}, {6}, "scene-6");
    ASSERT_GT(held.shot.w, 0);
    EXPECT_EQ(held.place.w, 640);
    EXPECT_EQ(held.place.h, 400);
    // What the window showed while held: scene 5's last frame, drawn on the virtual clock.
    int lit = 0;
    for (int y = 0; y < held.place.h; y += 7) {
        for (int x = 0; x < held.place.w; x += 7) {
            const auto px = held.shot.at(held.place.x + x, held.place.y + y);
            lit += px.r + px.g + px.b > 0;
        }
    }
    EXPECT_GT(lit, 100) << "frames reach the window on the virtual clock";
}

TEST_F(EscapeGui, DuringA3DSceneEndsTheShowAtTheNextFrame) {
    escape_at({21, 1}, {21, 2}, "scene-21-phase-2");
}

TEST_F(EscapeGui, DuringTheClosingScrollerEndsTheShowAtTheNextFrame) {
    escape_at({40, 3}, {41}, "scene-41");
}

TEST_F(EscapeGui, DuringADecayLoopEndsItAtItsFirstFrame) {
    // Scene 16: 30 frames of decay that wait for no music position.
    escape_at({15}, {16}, "scene-16");
}
