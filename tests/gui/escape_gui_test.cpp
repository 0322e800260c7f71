// Escape during the show, in a window on the virtual clock (late scenes in seconds). The key
// travels at the X server's pace, so the program is held still meanwhile: its stderr is a pipe we
// fill, which stops it at its next trace line. Let go with the key waiting, it must present the
// one frame it was about to draw, see the key in the pump after it and end with status 0.
#include <poll.h>
#include <sys/syscall.h>

#include <optional>
#include <utility>

#include "tests/gui/x_display.h"

using namespace vantrose::test_support;

namespace {

using Clock = std::chrono::steady_clock;

// The program with its stderr on a pipe read line by line. We keep a write end of our own:
// filling the pipe from it makes the program's next write to stderr wait until we read.
class TracedProgram {
  public:
    explicit TracedProgram(std::vector<std::string> args) {
        int fds[2] = {-1, -1}; // when there is no pipe, no line comes
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        program_.emplace(Launch{std::move(args), {}, {}, "", 0, fds[1]});
        // Opened afresh so that non-blocking applies to our writes only, not to the program's.
        filler_ = ::open(("/proc/self/fd/" + std::to_string(fds[1])).c_str(),
                         O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ::close(fds[1]);
        read_ = fds[0];
    }
    ~TracedProgram() {
        program_.reset(); // killed if still running
        for (int fd : {filler_, read_}) ::close(fd);
    }
    // The next line the program wrote but our filling; none at its end or at the deadline.
    std::optional<std::string> next_line(Clock::time_point deadline) {
        for (size_t end;;) {
            while ((end = pending_.find('\n')) != std::string::npos) {
                const std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (!line.empty()) return lines_ += line + "\n", line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{read_, POLLIN, 0};
            char buffer[65536];
            const ssize_t n = left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) > 0
                                  ? ::read(read_, buffer, sizeof buffer)
                                  : 0;
            if (n <= 0) return {};
            pending_.append(buffer, static_cast<size_t>(n));
        }
    }

    // Fills the pipe to the last byte: the program's next write to stderr waits. Writes of up to
    // 4096 bytes go in whole or not at all, so halving the size leaves no room even for one.
    void fill() {
        for (size_t size = 4096; size > 0; size /= 2) {
            const std::string newlines(size, '\n');
            while (::write(filler_, newlines.data(), size) == ssize_t(size)) continue;
        }
    }

    // True once the program's main thread waits in a write to stderr.
    bool held(Clock::time_point deadline) {
        const std::string waiting = std::to_string(SYS_write) + " 0x2 ";
        const std::string syscall = "/proc/" + std::to_string(program_->pid()) + "/syscall";
        do {
            if (!program_->running()) return false;
            if (read_file(syscall).compare(0, waiting.size(), waiting) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (Clock::now() < deadline);
        return false;
    }

    // Lets the program write on (our write end goes, the filling is read away), reads the rest
    // of the output and waits for the end; the exit status, -1 when killed.
    int finish(Clock::time_point deadline) {
        ::close(std::exchange(filler_, -1));
        while (next_line(deadline)) continue;
        return program_->finish(std::chrono::duration<double>(deadline - Clock::now()).count())
            .status;
    }

    const std::string& output() const { return lines_; }

  private:
    std::optional<Program> program_;
    int read_ = -1, filler_ = -1;
    std::string pending_, lines_;
};

// A point of the show as the trace names it: scene and 3D phase (0 at the scene's start).
using Moment = std::pair<int, int>;

// A trace line ("scene N frame F ..." or "phase P frame F ...") moves `at` on; its frame.
std::optional<uint64_t> follow(const std::string& line, Moment& at) {
    char kind[8];
    int number = 0;
    unsigned long long frame = 0;
    if (std::sscanf(line.c_str(), "%7s %d frame %llu tick", kind, &number, &frame) != 3) return {};
    at = std::string(kind) == "phase" ? Moment{at.first, number} : Moment{number, 0};
    return frame;
}

class EscapeGui : public GuiTest {
  protected:
    // Runs the show until the trace reaches `before`, holds the program at its next trace line,
    // which must be `at`, presses Escape and lets it go.
    void escape_at(Moment before, Moment at) {
        // From the scene of `before` (the ones before it run unseen), at 20 Hz: a third of the
        // frames of 60, so even the scroller's decay comes in seconds on a busy machine.
        TracedProgram p({"--mode", "400", "--window", "--clock", "virtual", "--refresh", "20",
                         "--scene", std::to_string(before.first), "--trace", "--stats"});
        const Clock::time_point deadline =
            Clock::now() + std::chrono::seconds(240); // a loaded machine renders slowly
        for (Moment now;;) {
            const auto line = p.next_line(deadline);
            ASSERT_TRUE(line) << "the trace never reached " << testing::PrintToString(before)
                              << ":\n"
                              << p.output();
            if (follow(*line, now) && now == before) break;
        }
        p.fill();
        ASSERT_TRUE(p.held(deadline)) << "the program did not stop at its next trace line:\n"
                                      << p.output();
        ASSERT_NE(focus_window(show_window, 5), 0) << "no show window";
        screenshot("escape-" + std::to_string(at.first) + "-" + std::to_string(at.second));
        key("Escape");
        // Once the X server has answered a later request it has passed the key on.
        x_command("xdotool getwindowfocus");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(p.held(Clock::now())) << "still held while the key travelled";
        const int status = p.finish(Clock::now() + std::chrono::seconds(30));

        // The line it was held at is the last trace line; one frame after it the show ended.
        std::optional<uint64_t> first, last, frames;
        Moment held;
        std::istringstream out(p.output());
        for (std::string line; std::getline(out, line);) {
            if (const auto frame = follow(line, held)) last = frame, first = first.value_or(*frame);
            if (line.rfind("frames ", 0) == 0) frames = std::stoull(line.substr(7));
        }
        EXPECT_EQ(status, 0) << p.output();
        EXPECT_TRUE(last && held == at) << "held at " << testing::PrintToString(held) << ", not "
                                        << testing::PrintToString(at) << ":\n"
                                        << p.output();
        EXPECT_EQ(p.output().find("StopSong"), std::string::npos) << "the music stopped";
        EXPECT_EQ(p.output().find("FreeSong"), std::string::npos) << "and was freed";
        EXPECT_EQ(find_window(show_window, 0), 0) << "the window is gone";
        ASSERT_TRUE(frames && last) << "shutdown printed the figures:\n" << p.output();
        // Frames are counted from the scene it started at.
        EXPECT_EQ(*frames, *last + 1 - *first) << "the key was waiting before frame " << *last
                                               << " was drawn, so the pump after it ends the show";
    }
};

} // namespace

// Held as scene 6 hands over to scene 7 (a 2D effect over a picture), as a 3D runner enters
// its second phase, as the scroller starts, and as a decay loop (no music wait) starts: moments
// whose next line on stderr is the trace line awaited (a scene's loads come after its line).
TEST_F(EscapeGui, EndsTheShowAtTheNextFrameAtEveryKindOfMoment) {
    const std::pair<Moment, Moment> moments[] = {
        {{6, 0}, {7, 0}}, {{21, 1}, {21, 2}}, {{15, 0}, {16, 0}}, {{40, 3}, {41, 0}}};
    for (const auto& [before, at] : moments) escape_at(before, at);
}
