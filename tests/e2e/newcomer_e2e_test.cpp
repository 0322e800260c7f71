// What a first-time user meets: the program run from any folder, messages instead of library
// noise, and set-ups that cannot work refused before the show.
#include <gtest/gtest.h>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;

TEST(NewcomerE2E, RunsFromAnyFolderAndNamesAMissingArchive) {
    const std::string dir = scratch("newcomer-folder");
    // A data folder given relative to the current one, holding the module but not the archive.
    fs::create_directories(dir + "/data");
    fs::copy_file(fs::path(VANTROSE_DATA) / "vantrose.s3m", dir + "/data/vantrose.s3m");
    const RunResult run = run_program({{"--headless", "--data", "data"}, {}, {}, dir});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Overlay file not found, terminating...\n");
    EXPECT_NE(run.err.find((fs::canonical(dir) / "data" / "vantrose.dat").string()),
              std::string::npos)
        << run.err;
    fs::remove_all(dir);
}

// SDL tries every audio driver it has, ALSA among them, and opens none.
TEST(NewcomerE2E, LibrariesKeepQuietAndTheProgramSaysWhatHappened) {
    if (fs::exists("/dev/snd")) GTEST_SKIP() << "this machine has a sound card";
    const RunResult run = run_program({{"--mode", "400", "--window", "--frames", "20"},
                                       {"SDL_AUDIODRIVER", "XDG_RUNTIME_DIR"},
                                       {"SDL_VIDEODRIVER=dummy"}});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(": the show plays without sound\n"), std::string::npos) << run.err;
    EXPECT_EQ(foreign_lines(run.err), "");
}

TEST(NewcomerE2E, DumpIntoAFolderThatTakesNoFilesFailsBeforeTheShow) {
    const std::string dir = scratch("newcomer-dump");
    // Root writes into any folder whatever its permissions; sysfs takes no new file even then.
    std::string folder = "/sys";
    if (geteuid() != 0) {
        folder = dir + "/read-only";
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const RunResult run = run_program({"--headless", "--trace", "--dump", folder});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot write into the --dump folder " + folder), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("scene "), std::string::npos) << "the show started:\n" << run.err;
    fs::remove_all(dir);
}
