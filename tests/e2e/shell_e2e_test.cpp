// The real program without a display, and the opening scene's frames with an archive
// and a module made here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "content/archive_writer.h"
#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

// A silent one-channel module of 12 orders at speed 1, tempo 230 (an order is 64 x 2.5 / 230 s);
// order 3 plays pattern 1, which jumps to order 7 on its first row: order 5 never plays.
vantrose::Bytes jumping_module() {
    vantrose::S3mModule m;
    m.speed = 1, m.tempo = 230, m.pannings = {0};
    m.orders.assign(12, 0);
    m.orders[3] = 1;
    m.patterns.assign(2, vantrose::S3mPattern(vantrose::s3m_rows));
    m.patterns[1][0].command = 2, m.patterns[1][0].info = 7; // B: to order 7
    return vantrose::write_s3m(m);
}

} // namespace

TEST(ShellE2e, NoDisplayEndsWithStatusTwoNamingTheWaysOut) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"--mode", "400", "--window"}}) {
        // No runtime folder either, for Wayland to complain about.
        const RunResult r = run_program(
            {args, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR"}}, 30);
        ASSERT_FALSE(r.timed_out) << "no display must never leave the program waiting";
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--record"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("DDRAW ERROR: DirectDrawCreate error"), std::string::npos);
        EXPECT_EQ(foreign_lines(r.err), "");
    }
}

// Entry 27: the left half of the picture index 7, the right half 0; entry 28: entry 7 is
// (63, 40, 20). Frame 0 shows the picture through the black pal32; then it fades in one unit a
// frame, holds until the module passes order 5 (here by jumping over it), and fades out in 64.
TEST(ShellE2e, OpeningPictureFadesInHoldsUntilTheCutAndFadesOut) {
    const std::string data = scratch("opening");
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
    const auto at = [&](int frame, int x) { return read_png(dump + frame_name(frame)).at(x, 100); };
    int last_hold = 0;
    for (int f = 60; f < cut + 10; ++f)
        if (at(f, 100)[0] == 252) last_hold = f;
    EXPECT_NEAR(last_hold, cut, 1) << "the cut falls on the music";
    EXPECT_EQ(at(0, 100), (Image::Rgb{0, 0, 0}));
    for (int f = 1; f <= last_hold + 64; f += f < 70 || f > last_hold ? 1 : 13) {
        const int up = std::min(f, last_hold), down = f - last_hold;
        const auto level = [&](int top) {
            return 4 * std::max(0, std::min(up, top) - std::max(down, 0));
        };
        ASSERT_EQ(at(f, 100), (Image::Rgb{level(63), level(40), level(20)})) << "frame " << f;
        ASSERT_EQ(at(f, 600), (Image::Rgb{0, 0, 0})) << "index 0 stays black, frame " << f;
    }
    EXPECT_NE(r.err.find("scene 2 frame " + std::to_string(last_hold + 65) + " "),
              std::string::npos)
        << r.err;
    fs::remove_all(data);
}
