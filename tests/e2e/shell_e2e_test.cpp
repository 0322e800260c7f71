// The real program on bad input (command lines, no display, damaged archive and module), on
// signals, and the opening scene's frames with an archive and a module made here.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "content/archive_writer.h"
#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;
namespace fs = std::filesystem;

namespace {

struct ShellE2e : ::testing::Test {
    std::string data = make_data_dir("e2e");
    void TearDown() override { fs::remove_all(data); }
};

// A silent one-channel module of 12 orders at speed 1, tempo 230 (an order is 64 x 2.5 / 230 s);
// order 3 plays pattern 1, which jumps to order 7 on its first row: order 5 never plays.
vantrose::Bytes jumping_module() {
    vantrose::Bytes m(0x60, 0);
    const auto put16 = [&m](size_t at, size_t v) {
        m[at] = uint8_t(v), m[at + 1] = uint8_t(v >> 8);
    };
    m[0x1C] = 0x1A, m[0x1D] = 16;
    put16(0x20, 12), put16(0x24, 2), put16(0x28, 0x1320), put16(0x2A, 2);
    std::memcpy(&m[0x2C], "SCRM", 4);
    m[0x30] = 64, m[0x31] = 1, m[0x32] = 230, m[0x33] = 0xB0, m[0x34] = 16;
    for (int c = 0; c < 32; ++c) m[0x40 + c] = c == 0 ? 0 : 255;
    for (int o = 0; o < 12; ++o) m.push_back(o == 3 ? 1 : 0);
    const size_t pointers = m.size();
    m.resize(m.size() + 4);
    for (int p = 0; p < 2; ++p) {
        while (m.size() % 16) m.push_back(0);
        const size_t at = m.size();
        put16(pointers + 2 * p, at / 16);
        m.resize(at + 2);
        if (p == 1) m.insert(m.end(), {0x80, 2, 7}); // channel 0: command B, to order 7
        m.insert(m.end(), 64, 0);
        put16(at, m.size() - at);
    }
    return m;
}

// Red level of a dumped frame at (x, y), and its green and blue.
std::array<int, 3> pixel(const std::string& file, unsigned x, unsigned y) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return {-1, -1, -1};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
    const uint8_t* p = &rgb[3 * (image.width * y + x)];
    return {p[0], p[1], p[2]};
}

} // namespace

TEST_F(ShellE2e, NoDisplayEndsWithStatusTwoNamingTheWaysOut) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--data", data},
          std::vector<std::string>{"--mode", "400", "--window", "--data", data}}) {
        const RunResult r =
            run_program(args, 30, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
        ASSERT_FALSE(r.timed_out) << "no display must never leave the program waiting";
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--record"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("DDRAW ERROR: DirectDrawCreate error"), std::string::npos);
    }
}

TEST_F(ShellE2e, DamagedOrMissingDataEndsWithStatusOneBeforeAnyFrame) {
    write_bytes(data + "/vantrose.dat", std::vector<uint8_t>(64, 0xFF));
    RunResult r = run_program({"--headless", "--mode", "400", "--data", data, "--trace"}, 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("damaged archive, entry 27"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("frame 1 "), std::string::npos) << "nothing was shown";
    fs::remove(data + "/vantrose.dat");
    r = run_program({"--headless", "--mode", "400", "--data", data, "--frames", "10"}, 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Overlay file not found, terminating...\n");
    fs::remove(data + "/vantrose.s3m");
    r = run_program({"--headless", "--mode", "400", "--data", data}, 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open the music module " + data + "/vantrose.s3m"),
              std::string::npos)
        << r.err;
}

TEST_F(ShellE2e, InterruptAndTerminateEndLikeAQuit) {
    for (int number : {SIGTERM, SIGINT}) {
        Program p({"--headless", "--clock", "real", "--mode", "400", "--data", data, "--stats"});
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        ASSERT_TRUE(p.running());
        p.signal(number);
        const RunResult r = p.finish(20);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("frames "), std::string::npos) << "shutdown ran";
    }
}

// Entry 27: the left half of the picture index 7, the right half 0; entry 28: entry 7 is
// (63, 40, 20). Frame 0 shows the picture through the black pal32; then it fades in one unit a
// frame, holds until the module passes order 5 (here by jumping over it), and fades out in 64.
TEST_F(ShellE2e, OpeningPictureFadesInHoldsUntilTheCutAndFadesOut) {
    std::vector<vantrose::Bytes> entries(56);
    entries[27].resize(640 * 480);
    for (int y = 0; y < 480; ++y) std::fill_n(entries[27].begin() + 640 * y, 320, 7);
    entries[28].resize(768);
    entries[28][21] = 63, entries[28][22] = 40, entries[28][23] = 20;
    vantrose::write_file(data + "/vantrose.dat", vantrose::build_archive(entries));
    vantrose::write_file(data + "/vantrose.s3m", jumping_module());
    const int cut =
        static_cast<int>(std::ceil((3 * 64 + 1) * 2.5 / 230 * 60)); // order 7 is first polled
    const std::string dump = data + "/frames/made/here";
    const RunResult r =
        run_program({"--headless", "--mode", "400", "--data", data, "--trace", "--frames",
                     std::to_string(cut + 70), "--dump", dump, "--dump-every", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto at = [&](int frame, unsigned x) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", frame);
        return pixel(dump + name, x, 100);
    };
    int last_hold = 0;
    for (int f = 60; f < cut + 10; ++f)
        if (at(f, 100)[0] == 252) last_hold = f;
    EXPECT_NEAR(last_hold, cut, 1) << "the cut falls on the music";
    EXPECT_EQ(at(0, 100), (std::array<int, 3>{0, 0, 0}));
    for (int f = 1; f <= last_hold + 64; f += f < 70 || f > last_hold ? 1 : 13) {
        const int up = std::min(f, last_hold), down = f - last_hold;
        const auto level = [&](int top) {
            return 4 * std::max(0, std::min(up, top) - std::max(down, 0));
        };
        ASSERT_EQ(at(f, 100), (std::array<int, 3>{level(63), level(40), level(20)}))
            << "frame " << f;
        ASSERT_EQ(at(f, 600), (std::array<int, 3>{0, 0, 0})) << "index 0 stays black, frame " << f;
    }
    EXPECT_NE(r.err.find("scene 2 frame " + std::to_string(last_hold + 65) + " "),
              std::string::npos)
        << r.err;
}
