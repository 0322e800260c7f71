// How a show on the real clock ends early, headless and in a window (where there is a display):
// every way out stops the timer thread first and ends with its own message and status, never
// with an abort.
#include <gtest/gtest.h>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

namespace {

// The show on the real clock with the data of `dir`, given `signal` once `text` is on stderr
// (or when it ends); `before` runs then, and the text must come.
bool windowed = false;
const std::vector<bool> ways = {false, std::getenv("DISPLAY") != nullptr};

RunResult end_show(const std::string& dir, const std::string& text, int signal = 0,
                   void (*before)(const std::string&) = nullptr) {
    Program p(windowed
                  ? Launch{{"--mode", "400", "--window", "--trace", "--stats", "--data", dir}}
                  : Launch{{"--headless", "--clock", "real", "--trace", "--stats", "--data", dir}});
    EXPECT_TRUE(p.wait_for_err(text, 60)) << text;
    if (before) before(dir);
    if (signal) p.signal(signal);
    const RunResult r = p.finish(60);
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
    fs::remove_all(dir);
    return r;
}

// Points archive entry 0 at the packed bytes of entry 27 (larger: it then decodes to more than
// its destination holds).
void damage_entry_0(const std::string& dir) {
    std::string bytes = read_file(dir + "/vantrose.dat");
    uint32_t size = 0;
    for (size_t k = 1; k <= 4; ++k)
        size = size << 8 | static_cast<uint8_t>(bytes[bytes.size() - k]);
    const size_t directory = bytes.size() - size;
    bytes.replace(directory, 8, bytes, directory + 8 * 27, 8);
    std::ofstream(dir + "/vantrose.dat", std::ios::binary) << bytes;
}

} // namespace

TEST(EndingE2e, DamagedEntryLoadedMidShowEndsWithTheArchiveMessage) {
    for (bool w : ways) {
        windowed = w;
        // Entry 0 is loaded as the first effect scene starts, seconds after the timer.
        const std::string dir = make_data_dir("ending-damaged", 16);
        damage_entry_0(dir);
        const RunResult r = end_show(dir, "scene 2 ");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out, dir +
                             "/vantrose.dat: entry 0 decodes to 307200 bytes, more than the 65536 "
                             "bytes of its destination\n");
        EXPECT_NE(r.err.find("the damaged file is " + dir + "/vantrose.dat; run with --data DIR"),
                  std::string::npos)
            << r.err;
    }
}

TEST(EndingE2e, ArchiveRemovedMidShowEndsWithStatusOne) {
    for (bool w : ways) {
        windowed = w;
        const std::string dir = make_data_dir("ending-removed", 64);
        const RunResult r = end_show(dir, "scene 1 ", 0,
                                     [](const std::string& d) { fs::remove(d + "/vantrose.dat"); });
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out, "Overlay file not found, terminating...\n");
        EXPECT_NE(r.err.find("no file at " + dir + "/vantrose.dat"), std::string::npos) << r.err;
    }
}

// In the first 3D scene's first phase (the model slides in for 5 s of ticks), and the opening.
TEST(EndingE2e, InterruptAndTerminateEndLikeAQuitInA3DSceneOrTheOpening) {
    for (bool w : ways) {
        windowed = w;
        for (const auto& [rows, text, number] :
             {std::tuple(4, "\nphase 1 ", SIGTERM), std::tuple(0, "scene 1 ", SIGINT)}) {
            const RunResult r = end_show(make_data_dir("ending-signal", rows), text, number);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(r.err.find("\nframes "), std::string::npos) << "shutdown ran:\n" << r.err;
            EXPECT_EQ(r.err.find("scene 22 "), std::string::npos) << "ended within the scene:\n"
                                                                  << r.err;
        }
    }
}

TEST(EndingE2e, ModuleTooShortForTheShowIsNamedAndStillPlays) {
    const std::string dir = make_data_dir("ending-short");
    write_bytes(dir + "/vantrose.s3m", tiny_s3m(3));
    const RunResult r = run_program({"--headless", "--frames", "5", "--stats", "--data", dir}, 30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("vantrose: the music module " + dir +
                         "/vantrose.s3m has 3 orders; the show needs 90"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("frames 5"), std::string::npos) << r.err;
    fs::remove_all(dir);
}
