// X server helpers for the window tests: shell commands, xdotool, window lookup, screenshots,
// and the lock that lets one window test at a time use the shared display.
#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace vantrose::test_support {

inline std::string shell(const std::string& command, int* status = nullptr) {
    std::string out;
    int result = -1;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        result = ::pclose(p);
    }
    if (status) *status = result;
    return out;
}

// An X client command; a loaded X server sometimes turns a connection away, so try again.
inline std::string x_command(const std::string& command) {
    std::string out;
    for (int attempt = 0; attempt < 5; ++attempt) {
        int status = 0;
        out = shell(command, &status);
        if (status == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return out;
}

struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
};

// Ids of the windows whose names match (empty when none); asks again when the X server turned
// the connection away.
inline std::string search(const std::string& name) {
    std::string out;
    for (int attempt = 0; attempt < 5; ++attempt) {
        out = shell("xdotool search --name '" + name + "' 2>&1");
        if (out.find("display") == std::string::npos) break; // "Can't open display"
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return out.find("display") == std::string::npos ? out : std::string();
}

// Waits for a window whose name matches; 0 when none shows up in time.
inline long find_window(const std::string& name, double seconds = 15) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        // A busy server may answer with a message instead of window ids: ask again.
        const std::string ids = search(name);
        if (!ids.empty() && std::isdigit(static_cast<unsigned char>(ids[0]))) return std::stol(ids);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return 0;
}

inline bool window_exists(const std::string& name) {
    return !search(name).empty();
}

inline Geometry geometry(long window) {
    std::map<std::string, int> v;
    std::istringstream in(x_command("xdotool getwindowgeometry --shell " + std::to_string(window)));
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) v[line.substr(0, eq)] = std::stoi(line.substr(eq + 1));
    }
    return {v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]};
}

// Size and name of a window as xwininfo reports them.
struct WindowInfo {
    int w = 0, h = 0;
    std::string name;
};
inline WindowInfo window_info(const std::string& which) {
    WindowInfo info;
    std::istringstream in(x_command("xwininfo " + which));
    for (std::string line; std::getline(in, line);) {
        if (line.find("  Width: ") == 0) info.w = std::stoi(line.substr(9));
        if (line.find("  Height: ") == 0) info.h = std::stoi(line.substr(10));
        const size_t quote = line.find(" \"");
        if (line.find("xwininfo: Window id:") == 0 && quote != std::string::npos)
            info.name = line.substr(quote + 2, line.size() - quote - 3);
    }
    return info;
}

inline void click(int x, int y) {
    x_command("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}
inline void key(const std::string& name) {
    x_command("xdotool key " + name);
}

struct Image {
    int w = 0, h = 0;
    std::string rgb;
    struct Rgb {
        int r, g, b;
    };
    Rgb at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * w + x) * 3;
        return {static_cast<uint8_t>(rgb[i]), static_cast<uint8_t>(rgb[i + 1]),
                static_cast<uint8_t>(rgb[i + 2])};
    }
    bool grey(int x, int y, int level) const {
        const Rgb p = at(x, y);
        return p.r == level && p.g == level && p.b == level;
    }
};

// Points of the area g, every `step` pixels, that are not black.
inline int lit(const Image& shot, const Geometry& g, int step) {
    int count = 0;
    for (int y = g.y; y < g.y + g.h; y += step)
        for (int x = g.x; x < g.x + g.w; x += step) {
            const Image::Rgb p = shot.at(x, y);
            count += p.r + p.g + p.b > 0;
        }
    return count;
}

// The whole screen, kept as gui-artefacts/<name>.png, read back through a PPM.
inline Image screenshot(const std::string& name) {
    std::filesystem::create_directories("gui-artefacts");
    const std::string png = "gui-artefacts/" + name + ".png";
    x_command("import -window root " + png);
    const std::string ppm = shell("convert " + png + " ppm:-");
    Image image;
    std::istringstream in(ppm);
    std::string magic;
    int maxval = 0;
    in >> magic >> image.w >> image.h >> maxval;
    in.get();
    image.rgb = ppm.substr(static_cast<size_t>(in.tellg()));
    return image;
}

// Waits for the display to be ours: input goes to whoever has the focus, so window tests take
// turns. Returns the lock's descriptor (closing it gives the display back), -1 on failure.
inline int lock_display() {
    const char* display = std::getenv("DISPLAY");
    if (!display) return -1;
    const int fd = ::open(("/tmp/vantrose-gui" + std::string(display) + ".lock").c_str(),
                          O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace vantrose::test_support
