// The real program, headless or without a display: exit statuses, messages, dumps and checksums.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>

#include "tests/e2e/run_program.h"

using namespace vantrose::test_support;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    }
    return found;
}

class ShellE2e : public ::testing::Test {
  protected:
    void SetUp() override { data_ = make_data_dir("e2e"); }
    void TearDown() override { fs::remove_all(data_); }
    std::string data_;
};

} // namespace

TEST_F(ShellE2e, HeadlessDumpIsRepeatable) {
    std::vector<std::vector<std::string>> checksums;
    std::vector<std::string> pngs[2];
    for (int run = 0; run < 2; ++run) {
        const std::string dump = data_ + "/dump" + std::to_string(run) + "/made/here";
        const RunResult r = run_program({"--headless", "--mode", "400", "--data", data_, "--frames",
                                         "600", "--dump", dump, "--dump-every", "100", "--stats"});
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dump)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"frame-000000.png", "frame-000100.png",
                                                   "frame-000200.png", "frame-000300.png",
                                                   "frame-000400.png", "frame-000500.png"}));
        for (const std::string& n : names) pngs[run].push_back(read_file(dump + "/" + n));
        EXPECT_NE(r.err.find("frames 600\n"), std::string::npos) << r.err;
        EXPECT_TRUE(std::regex_search(r.err, std::regex("real-time factor [0-9]+\\.[0-9]+\n")));
        checksums.push_back(lines_starting(r.err, "checksum scene "));
        EXPECT_FALSE(checksums.back().empty()) << r.err;
    }
    EXPECT_EQ(checksums[0], checksums[1]);
    ASSERT_EQ(pngs[0].size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(pngs[0][i], pngs[1][i]) << "frame " << i * 100;
        EXPECT_EQ(pngs[0][i].compare(1, 3, "PNG"), 0);
    }
}

TEST_F(ShellE2e, TraceLinesCarryFrameTickOrderAndRow) {
    const RunResult r = run_program({"--headless", "--mode", "480", "--data", data_, "--frames",
                                     "30", "--trace", "--refresh", "50"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto scenes = lines_starting(r.err, "scene ");
    ASSERT_FALSE(scenes.empty()) << r.err;
    const std::regex line("scene [0-9]+ frame [0-9]+ tick [0-9]+ order -?[0-9]+ row -?[0-9]+");
    for (const std::string& s : scenes) EXPECT_TRUE(std::regex_match(s, line)) << s;
    // --trace alone also gives the checksums, over 640 x 480 frames here.
    EXPECT_FALSE(lines_starting(r.err, "checksum scene ").empty());
}

TEST_F(ShellE2e, NoDisplayEndsWithStatusTwoNamingTheWaysOut) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--data", data_},
          std::vector<std::string>{"--mode", "400", "--window", "--data", data_}}) {
        const RunResult r =
            run_program(args, 30, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
        ASSERT_FALSE(r.timed_out) << "no display must never leave the program waiting";
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--record"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("DDRAW ERROR: DirectDrawCreate error"), std::string::npos);
    }
}

TEST_F(ShellE2e, UnusableModuleEndsWithStatusOneNamingTheFile) {
    const std::string module = data_ + "/vantrose.s3m";
    const std::vector<uint8_t> whole = tiny_s3m();
    struct Case {
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const std::vector<Case> cases = {
        {std::vector<uint8_t>(3000, 0x41), "is not an S3M module"},
        {std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2), "is truncated"},
    };
    for (const Case& c : cases) {
        write_bytes(module, c.bytes);
        const RunResult r = run_program({"--headless", "--mode", "400", "--data", data_}, 30);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(module + " " + c.message), std::string::npos) << r.err;
    }
    fs::remove(module);
    const RunResult r = run_program({"--headless", "--mode", "400", "--data", data_}, 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open the music module " + module), std::string::npos) << r.err;
}

TEST_F(ShellE2e, CommandLineHelpVersionAndMistakes) {
    RunResult r = run_program({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--headless"), std::string::npos);
    r = run_program({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("vantrose ", 0), 0u);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--mode", "600"},
                                                {"--frames"},
                                                {"--fast"},
                                                {"--refresh", "x"},
                                                {"--clock", "wall"},
                                                {"--scale", "2"},
                                                {"--record", "show.mkv", "--clock", "real"}}) {
        r = run_program(bad);
        EXPECT_EQ(r.status, 2) << bad[0];
        EXPECT_NE(r.err.find("usage: vantrose"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(ShellE2e, InterruptEndsLikeAQuit) {
    for (int number : {SIGTERM, SIGINT}) {
        Program p({"--headless", "--clock", "real", "--mode", "400", "--data", data_, "--stats"});
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        ASSERT_TRUE(p.running());
        p.signal(number);
        const RunResult r = p.finish(20);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("frames "), std::string::npos) << "shutdown ran";
    }
}

TEST_F(ShellE2e, CompleteShowEndsWithStatusOne) {
    const RunResult r = run_program(
        {"--headless", "--mode", "480", "--data", data_, "--refresh", "30", "--trace"}, 300);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1) << r.err.substr(0, 2000);
    // Every scene started, in order, and the 3D runners went through their phases.
    std::vector<int> scenes;
    for (const std::string& line : lines_starting(r.err, "scene ")) {
        scenes.push_back(std::stoi(line.substr(6)));
    }
    ASSERT_FALSE(scenes.empty());
    EXPECT_EQ(scenes.front(), 1);
    EXPECT_EQ(scenes.back(), 42);
    EXPECT_TRUE(std::is_sorted(scenes.begin(), scenes.end()));
    EXPECT_FALSE(lines_starting(r.err, "phase 3 ").empty());
}
