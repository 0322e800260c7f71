// X server helpers for the window tests: xdotool, window lookup, screenshots, and their fixture.
#pragma once
#include <gtest/gtest.h>

#include <cctype>

#include "tests/e2e/run_program.h"

namespace vantrose::test_support {

const std::string show_window = "^Quorv! - Vantrose$"; // the show's caption in a window

// An X client command; a loaded X server sometimes turns a connection away, so try again.
inline std::string x_command(const std::string& command) {
    std::string out;
    for (int attempt = 0; attempt < 5; ++attempt) {
        int status = 0;
        out = shell(command + " 2>&1", &status);
        if (status == 0 || out.empty()) break; // no match is no message
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return out.find("Can't open display") == std::string::npos ? out : std::string();
}

// Waits for a window whose name matches; 0 when none shows up in time.
inline long find_window(const std::string& name, double seconds = 15) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        const std::string ids = x_command("xdotool search --name '" + name + "'");
        if (!ids.empty() && std::isdigit(static_cast<unsigned char>(ids[0]))) return std::stol(ids);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return 0;
}

// Place, size and name of a window (0: the root) as xwininfo reports them.
struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
    std::string name;
};
inline Geometry geometry(long window) {
    Geometry g;
    std::istringstream in(
        x_command("xwininfo " + (window ? "-id " + std::to_string(window) : "-root")));
    for (std::string line; std::getline(in, line);) {
        std::sscanf(line.c_str(), "  Absolute upper-left X: %d", &g.x);
        std::sscanf(line.c_str(), "  Absolute upper-left Y: %d", &g.y);
        std::sscanf(line.c_str(), "  Width: %d", &g.w);
        std::sscanf(line.c_str(), "  Height: %d", &g.h);
        const size_t quote = line.find(" \"");
        if (line.rfind("xwininfo: Window id:", 0) == 0 && quote != std::string::npos)
            g.name = line.substr(quote + 2, line.size() - quote - 3);
    }
    return g;
}

// The window, given the focus for the keys; 0 when none shows up in time.
inline long focus_window(const std::string& name, double seconds = 15) {
    const long window = find_window(name, seconds);
    if (window) x_command("xdotool windowfocus --sync " + std::to_string(window));
    return window;
}

inline void key(const std::string& name) {
    x_command("xdotool key " + name);
}

// Points of the area g, every `step` pixels, that are not black.
inline int lit(const Image& shot, const Geometry& g, int step) {
    int count = 0;
    for (int y = g.y; y < g.y + g.h; y += step)
        for (int x = g.x; x < g.x + g.w; x += step) count += shot.at(x, y) != Image::Rgb{0, 0, 0};
    return count;
}

// The whole screen, kept as gui-artefacts/<name>.png.
inline Image screenshot(const std::string& name) {
    fs::create_directories("gui-artefacts");
    const std::string png = "gui-artefacts/" + name + ".png";
    x_command("import -window root " + png);
    return read_png(png);
}

// ctest runs the window tests one at a time (RESOURCE_LOCK): input goes to whoever has the focus.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (./test starts one)";
        ASSERT_EQ(shell("which xdotool xwininfo import | wc -l"), "3\n")
            << "xdotool, xwininfo and ImageMagick drive these tests (scripts/setup.sh)";
        // Under the tsan preset: the GL driver's own threads are not ours to judge.
        ::setenv("TSAN_OPTIONS", "suppressions=" VANTROSE_SOURCE_DIR "/tests/tsan.supp", 0);
    }
};

} // namespace vantrose::test_support
