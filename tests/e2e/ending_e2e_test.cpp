// How a headless show on the real clock ends early: every way out stops the timer thread first
// and ends with its own message and status, never with an abort.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> headless_real = {"--headless", "--clock", "real"};

void expect_no_abort(const RunResult& r) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
}

} // namespace

TEST(EndingE2e, DamagedEntryLoadedMidShowEndsWithTheArchiveMessage) {
    const std::string dir = make_quick_data_dir("ending-damaged", 16);
    const RunResult r = end_by_damaged_entry(headless_real, dir);
    expect_no_abort(r);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("scene 2 "), std::string::npos) << "failed mid-show:\n" << r.err;
    EXPECT_EQ(r.out, dir + "/vantrose.dat: entry 0 decodes to 307200 bytes, more than the 65536 "
                           "bytes of its destination\n");
    EXPECT_NE(r.err.find("the damaged file is " + dir + "/vantrose.dat; run with --data DIR"),
              std::string::npos)
        << r.err;
    fs::remove_all(dir);
}

TEST(EndingE2e, ArchiveRemovedMidShowEndsWithStatusOne) {
    const std::string dir = make_quick_data_dir("ending-removed", 64);
    const RunResult r = end_by_removed_archive(headless_real, dir);
    expect_no_abort(r);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Overlay file not found, terminating...\n");
    EXPECT_NE(r.err.find("no file at " + dir + "/vantrose.dat"), std::string::npos) << r.err;
    fs::remove_all(dir);
}

TEST(EndingE2e, SigtermInA3DSceneEndsLikeAQuit) {
    const std::string dir = make_quick_data_dir("ending-sigterm", 4);
    bool reached = false;
    const RunResult r = end_by_sigterm_in_3d(headless_real, dir, &reached);
    EXPECT_TRUE(reached) << r.err;
    expect_no_abort(r);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("scene 22 "), std::string::npos) << "ended within the scene:\n" << r.err;
    fs::remove_all(dir);
}

TEST(EndingE2e, ModuleTooShortForTheShowIsNamedAndStillPlays) {
    const std::string dir = make_data_dir("ending-short");
    write_bytes(dir + "/vantrose.s3m", tiny_s3m(3));
    const RunResult r = run_program({"--headless", "--frames", "5", "--stats", "--data", dir}, 30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("vantrose: the music module " + dir +
                         "/vantrose.s3m has 3 orders; the "
                         "show needs 90"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("frames 5"), std::string::npos) << r.err;
    fs::remove_all(dir);
}
