// The opening picture scene, end to end: the real program, headless on the virtual clock, with an
// archive and a module made here, so that every frame's colour and the cut are known in advance.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include "content/archive_writer.h"

using namespace vantrose;
namespace fs = std::filesystem;

namespace {

constexpr int tempo = 230;     // speed 1: a row lasts 2.5 / 230 s, an order 64 rows
constexpr double refresh = 60; // the virtual clock's default
constexpr double order_seconds = 64 * 2.5 / tempo;

// A silent Scream Tracker 3 module of `orders` (pattern numbers) over two empty one-channel
// patterns; pattern 1 jumps to order `jump_to` on its first row.
Bytes silent_module(const std::vector<uint8_t>& orders, uint8_t jump_to = 0) {
    Bytes m(0x60, 0);
    const auto put16 = [&m](size_t at, size_t v) {
        m[at] = static_cast<uint8_t>(v), m[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    std::memcpy(m.data(), "opening", 7);
    m[0x1C] = 0x1A, m[0x1D] = 16;
    put16(0x20, orders.size());
    put16(0x24, 2);      // patterns
    put16(0x28, 0x1320); // made by version 3.20
    put16(0x2A, 2);
    std::memcpy(&m[0x2C], "SCRM", 4);
    m[0x30] = 64, m[0x31] = 1, m[0x32] = tempo, m[0x33] = 0xB0, m[0x34] = 16;
    for (int c = 0; c < 32; ++c) m[0x40 + c] = c == 0 ? 0 : 255;
    m.insert(m.end(), orders.begin(), orders.end());
    const size_t pointers = m.size();
    m.resize(m.size() + 4);
    for (int p = 0; p < 2; ++p) {
        while (m.size() % 16) m.push_back(0);
        const size_t at = m.size();
        put16(pointers + 2 * p, at / 16);
        m.resize(at + 2);
        if (p == 1) m.insert(m.end(), {0x80, 2, jump_to}); // channel 0: command B, jump
        m.insert(m.end(), 64, 0);                          // 64 rows, each ended by 0
        put16(at, m.size() - at);
    }
    return m;
}

// Entry 27: the left half of the picture is index 7, the right half index 0.
// Entry 28: entry 7 = (63, 40, 20). Every other entry up to 55 is empty.
Bytes opening_archive() {
    std::vector<Bytes> entries(56);
    entries[27].resize(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 320; ++x) entries[27][640 * y + x] = 7;
    entries[28].resize(768);
    entries[28][21] = 63, entries[28][22] = 40, entries[28][23] = 20;
    return build_archive(entries);
}

struct ProgramRun {
    int status = -1;
    std::string trace;
};

ProgramRun run_program(const fs::path& dir, const std::string& options) {
    const fs::path err = dir / "stderr.txt";
    const std::string command = "timeout 300 '" + std::string(VANTROSE_BIN) + "' " + options +
                                " >'" + (dir / "stdout.txt").string() + "' 2>'" + err.string() +
                                "'";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    std::ifstream in(err);
    std::stringstream text;
    text << in.rdbuf();
    run.trace = text.str();
    return run;
}

bool shell_missing() {
    const std::string command = "'" + std::string(VANTROSE_BIN) + "' --version 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return true;
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    return !got || std::strstr(line, "not built yet") != nullptr;
}

struct Pixel {
    int r, g, b;
    bool operator==(const Pixel&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Pixel& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

// Two pixels of a dumped frame: one in the picture's left half, one in the black right half.
std::pair<Pixel, Pixel> read_pixels(const fs::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    const auto at = [&](unsigned x, unsigned y) {
        const uint8_t* p = &rgb[3 * (image.width * y + x)];
        return Pixel{p[0], p[1], p[2]};
    };
    return {at(100, 100), at(600, 100)};
}

// Dumped frames in presentation order (by the number in the file name).
std::vector<fs::path> dumped_frames(const fs::path& dir) {
    std::vector<std::pair<long, fs::path>> frames;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".png") continue;
        const std::string name = entry.path().stem().string();
        const size_t last = name.find_last_of("0123456789");
        if (last == std::string::npos) continue;
        size_t first = last;
        while (first > 0 && std::isdigit(static_cast<unsigned char>(name[first - 1]))) --first;
        frames.emplace_back(std::stol(name.substr(first, last - first + 1)), entry.path());
    }
    std::sort(frames.begin(), frames.end());
    std::vector<fs::path> paths;
    for (auto& frame : frames) paths.push_back(frame.second);
    return paths;
}

Pixel level_times_four(int r, int g, int b) {
    return {4 * r, 4 * g, 4 * b};
}

class Opening : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        if (shell_missing()) GTEST_SKIP() << "the shell has not landed yet";
        dir = fs::temp_directory_path() /
              ("vantrose_opening_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "frames");
        write_file((dir / "vantrose.dat").string(), opening_archive());
    }
    void TearDown() override {
        if (!dir.empty() && !HasFailure()) fs::remove_all(dir);
    }

    // Plays the opening; `cut_seconds` is when the module first shows an order that ends it.
    void check_opening(double cut_seconds) {
        const int expected_last = static_cast<int>(std::ceil(cut_seconds * refresh));
        const int cap = expected_last + 64 + 40; // ends a longer show soon after the opening
        const ProgramRun run =
            run_program(dir, "--headless --mode 400 --data '" + dir.string() +
                                 "' --trace --frames " + std::to_string(cap) + " --dump '" +
                                 (dir / "frames").string() + "' --dump-every 1");
        // The opening starts before any frame, at the module's first order.
        const size_t scene_1 = run.trace.find("scene 1 frame 0 ");
        ASSERT_NE(scene_1, std::string::npos) << run.trace;
        const std::string line = run.trace.substr(scene_1, run.trace.find('\n', scene_1) - scene_1);
        EXPECT_NE(line.find(" order 0 row "), std::string::npos) << line;

        const auto frames = dumped_frames(dir / "frames");
        ASSERT_GE(frames.size(), 66u) << run.trace;
        // Frame 0 shows the picture through the untouched, black pal32; frames 1..L fade in
        // one unit per frame and hold; the next 64 fade out one unit per frame.
        std::vector<Pixel> left, right;
        for (const auto& file : frames) {
            const auto [l, r] = read_pixels(file);
            left.push_back(l), right.push_back(r);
        }
        size_t last_hold = 0;
        for (size_t i = 1; i < left.size(); ++i)
            if (left[i].r == 252) last_hold = i;
        ASSERT_GT(last_hold, 63u);
        const int order_frames = static_cast<int>(last_hold);
        EXPECT_NEAR(order_frames, expected_last, 1) << "the cut falls on the music";
        ASSERT_GE(left.size(), last_hold + 65);

        EXPECT_EQ(left[0], Pixel{}) << "frame 0";
        for (int i = 1; i <= order_frames; ++i)
            ASSERT_EQ(left[i], level_times_four(std::min(i, 63), std::min(i, 40), std::min(i, 20)))
                << "fade-in frame " << i;
        for (int j = 1; j <= 64; ++j)
            ASSERT_EQ(
                left[order_frames + j],
                level_times_four(std::max(63 - j, 0), std::max(40 - j, 0), std::max(20 - j, 0)))
                << "fade-out frame " << j;
        for (size_t i = 0; i < left.size() && i <= last_hold + 64; ++i)
            ASSERT_EQ(right[i], Pixel{}) << "index 0 stays black, frame " << i;

        const size_t opening_frames = last_hold + 65;
        if (frames.size() == opening_frames) {
            // The show ended after the opening: buffers freed, status 1 as after a whole show.
            EXPECT_EQ(run.status, 1) << run.trace;
        } else {
            // A longer show goes on with scene 2 right after the fade-out, until --frames.
            EXPECT_EQ(run.status, 0) << run.trace;
            EXPECT_NE(run.trace.find("scene 2 frame " + std::to_string(opening_frames) + " "),
                      std::string::npos)
                << run.trace;
        }
    }
};

} // namespace

TEST_F(Opening, FadesInHoldsUntilOrderFiveAndFadesOut) {
    write_file((dir / "vantrose.s3m").string(), silent_module(std::vector<uint8_t>(12, 0)));
    check_opening(5 * order_seconds);
}

TEST_F(Opening, EndsWhenTheModuleJumpsOverOrderFive) {
    // Order 3 jumps to order 7 after its first row: order 5 never plays.
    std::vector<uint8_t> orders(12, 0);
    orders[3] = 1;
    write_file((dir / "vantrose.s3m").string(), silent_module(orders, 7));
    check_opening(3 * order_seconds + 2.5 / tempo);
}

TEST(OpeningArchive, MissingArchiveEndsBeforeAnyFrame) {
    if (shell_missing()) GTEST_SKIP() << "the shell has not landed yet";
    const fs::path dir =
        fs::temp_directory_path() / ("vantrose_no_archive_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    write_file((dir / "vantrose.s3m").string(), silent_module(std::vector<uint8_t>(12, 0)));
    const ProgramRun run =
        run_program(dir, "--headless --mode 400 --data '" + dir.string() + "' --frames 10");
    std::ifstream out(dir / "stdout.txt");
    std::stringstream text;
    text << out.rdbuf();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(text.str(), "Overlay file not found, terminating...\n");
    fs::remove_all(dir);
}
