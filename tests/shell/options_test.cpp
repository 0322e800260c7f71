#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "shell/options.h"

using namespace vantrose;

namespace {

bool parse(std::initializer_list<const char*> arguments, Options& result, std::string& error) {
    std::vector<char*> argv{const_cast<char*>("vantrose")};
    for (const char* a : arguments) argv.push_back(const_cast<char*>(a));
    return parse_options(static_cast<int>(argv.size()), argv.data(), result, error);
}

std::string rejected(std::initializer_list<const char*> arguments) {
    Options result;
    std::string error;
    EXPECT_FALSE(parse(arguments, result, error));
    return error;
}

} // namespace

TEST(Options, NoArgumentsMeanDialogThenFullScreen) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_EQ(o.mode, 0);
    EXPECT_FALSE(o.window);
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.data_dir, ".");
    EXPECT_EQ(o.refresh, 60u);
    EXPECT_EQ(o.frames, 0u);
    EXPECT_EQ(o.dump_every, 1u);
}

TEST(Options, EveryOptionTogether) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--mode", "480", "--window", "--data", "/tmp/d", "--headless", "--refresh",
                       "70", "--clock", "real", "--frames", "600", "--dump", "/tmp/f",
                       "--dump-every", "100", "--trace", "--stats"},
                      o, error))
        << error;
    EXPECT_EQ(o.mode, 480);
    EXPECT_TRUE(o.window);
    EXPECT_EQ(o.data_dir, "/tmp/d");
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.real_clock);
    EXPECT_EQ(o.refresh, 70u);
    EXPECT_EQ(o.frames, 600u);
    EXPECT_EQ(o.dump_dir, "/tmp/f");
    EXPECT_EQ(o.dump_every, 100u);
    EXPECT_TRUE(o.trace);
    EXPECT_TRUE(o.stats);
}

TEST(Options, ClockFollowsHeadlessAndTheClockOption) {
    std::string error;
    ASSERT_TRUE(parse({"--headless"}, options, error));
    EXPECT_TRUE(virtual_clock_on());
    ASSERT_TRUE(parse({"--headless", "--clock", "real"}, options, error));
    EXPECT_FALSE(virtual_clock_on());
    ASSERT_TRUE(parse({"--headless", "--clock", "virtual"}, options, error));
    EXPECT_TRUE(virtual_clock_on());
    ASSERT_TRUE(parse({"--mode", "400"}, options, error));
    EXPECT_FALSE(virtual_clock_on());
    ASSERT_TRUE(parse({"--mode", "400", "--window", "--clock", "real"}, options, error));
    EXPECT_FALSE(virtual_clock_on());
    ASSERT_TRUE(parse({"--mode", "400", "--window", "--clock", "virtual"}, options, error));
    EXPECT_TRUE(virtual_clock_on()) << "a window on the virtual clock";
    EXPECT_TRUE(options.virtual_clock);
    EXPECT_FALSE(options.real_clock);
    ASSERT_TRUE(parse({"--clock", "virtual", "--clock", "real"}, options, error));
    EXPECT_FALSE(virtual_clock_on()) << "the last --clock counts";
    ASSERT_TRUE(parse({"--record", "show.mkv"}, options, error));
    EXPECT_TRUE(virtual_clock_on());
    EXPECT_NE(rejected({"--record", "show.mkv", "--clock", "real"}).find("virtual clock"),
              std::string::npos)
        << "a recording is always made on the virtual clock";
    options = Options{};
}

TEST(Options, BadCommandLinesSayWhy) {
    EXPECT_NE(rejected({"--mode", "640"}).find("--mode"), std::string::npos);
    EXPECT_NE(rejected({"--mode"}).find("needs a value"), std::string::npos);
    EXPECT_NE(rejected({"--bogus"}).find("--bogus"), std::string::npos);
    EXPECT_NE(rejected({"--clock", "fast"}).find("'real' or 'virtual'"), std::string::npos);
    rejected({"--clock", "Virtual"});
    rejected({"--clock", ""});
    rejected({"--mode", "400x"});
    rejected({"--mode", "+400"});
    rejected({"--mode", ""});
    rejected({"--refresh", "0"});
    rejected({"--refresh", "1001"});
    rejected({"--refresh", "-60"});
    rejected({"--refresh", "59.94"});
    rejected({"--frames", "0"});
    rejected({"--frames", "99999999999999999999999"});
    rejected({"--dump-every", "0"});
    rejected({"--dump", ""});
    rejected({"--data", ""});
    rejected({"--record"});
    rejected({"mode"});
}
