// What a first-time user meets: the program run from any folder, messages instead of library
// noise, set-ups that cannot work refused before the show, and the status of a recording.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/e2e/run_program.h"

namespace {

namespace fs = std::filesystem;
using vantrose::test_support::read_file;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The program started by a shell in `dir`, with `env` before it (e.g. "env -u DISPLAY").
Outcome vantrose_in(const fs::path& dir, const std::string& args, const std::string& env = "") {
    const std::string out = (dir / "out.txt").string(), err = (dir / "err.txt").string();
    const std::string command = "cd " + quote(dir.string()) + " && " + env + " " +
                                quote(VANTROSE_BIN) + " " + args + " >" + quote(out) + " 2>" +
                                quote(err) + " </dev/null";
    const int raw = std::system(command.c_str());
    Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(out), read_file(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

fs::path scratch(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("vantrose-newcomer-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Lines of stderr that are not ours.
std::string foreign_lines(const std::string& err) {
    std::istringstream lines(err);
    std::string line, foreign;
    while (std::getline(lines, line)) {
        const bool ours = line.rfind("vantrose: ", 0) == 0 || line.rfind("DDRAW ERROR: ", 0) == 0 ||
                          line.rfind("Run with --headless", 0) == 0;
        if (!ours) foreign += line + "\n";
    }
    return foreign;
}

} // namespace

TEST(NewcomerE2E, RunsFromAnyFolderAndNamesAMissingArchive) {
    const fs::path dir = scratch("folder");
    // No data here: the program finds the build's data folder beside itself.
    Outcome run = vantrose_in(dir, "--headless --frames 2");
    EXPECT_EQ(run.status, 0) << run.err;

    // A data folder given relative to the current one, holding the module but not the archive.
    fs::create_directories(dir / "data");
    fs::copy_file(fs::path(VANTROSE_DATA) / "vantrose.s3m", dir / "data" / "vantrose.s3m");
    run = vantrose_in(dir, "--headless --data data");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Overlay file not found, terminating...\n");
    EXPECT_NE(run.err.find((fs::canonical(dir) / "data" / "vantrose.dat").string()), std::string::npos) << run.err;
    fs::remove_all(dir);
}

TEST(NewcomerE2E, LibrariesKeepQuietAndTheProgramSaysWhatHappened) {
    const fs::path dir = scratch("quiet");
    // No display at all, and no runtime folder for Wayland to complain about.
    Outcome run =
        vantrose_in(dir, "--mode 400", "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("vantrose: no display could be opened"), std::string::npos) << run.err;
    EXPECT_EQ(foreign_lines(run.err), "");

    if (fs::exists("/dev/snd")) GTEST_SKIP() << "this machine has a sound card";
    // SDL tries every audio driver it has, ALSA among them, and opens none.
    run = vantrose_in(dir, "--mode 400 --window --frames 20",
                      "env -u SDL_AUDIODRIVER -u XDG_RUNTIME_DIR SDL_VIDEODRIVER=dummy");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(": the show plays without sound\n"), std::string::npos) << run.err;
    EXPECT_EQ(foreign_lines(run.err), "");
    fs::remove_all(dir);
}

TEST(NewcomerE2E, DumpIntoAFolderThatTakesNoFilesFailsBeforeTheShow) {
    const fs::path dir = scratch("dump");
    // Root writes into any folder whatever its permissions; sysfs takes no new file even then.
    fs::path folder = "/sys";
    if (geteuid() != 0) {
        folder = dir / "read-only";
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const Outcome run = vantrose_in(dir, "--headless --trace --dump " + quote(folder.string()));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot write into the --dump folder " + folder.string()),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("scene "), std::string::npos) << "the show started:\n" << run.err;
    if (folder != "/sys") fs::permissions(folder, fs::perms::owner_all);
    fs::remove_all(dir);
}

// The whole show at 2 frames a second: every scene and the music's end, in few frames.
TEST(NewcomerE2E, ACompleteRecordingEndsWithStatusZero) {
    const fs::path dir = scratch("record");
    const Outcome run = vantrose_in(dir, "--record show.mkv --refresh 2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "show.mkv"));
    fs::remove_all(dir);
}
