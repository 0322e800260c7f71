// The viewer's display options: --fps takes 30 to 240 or "display", nothing else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/options.h"

using namespace vantrose;

TEST(ViewingOptions, FpsTakesARateFrom30To240OrDisplay) {
    const auto parse = [](std::vector<const char*> args, Options& o, std::string& error) {
        args.insert(args.begin(), "vantrose");
        return parse_options(static_cast<int>(args.size()), const_cast<char**>(args.data()), o,
                             error);
    };
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--fps", "30", "--integer-scale"}, o, error)) << error;
    EXPECT_EQ(o.fps, 30u);
    EXPECT_TRUE(o.integer_scale);
    ASSERT_TRUE(parse({"--fps", "240"}, o, error));
    EXPECT_EQ(o.fps, 240u);
    EXPECT_FALSE(o.integer_scale);
    ASSERT_TRUE(parse({"--fps", "display"}, o, error));
    EXPECT_TRUE(o.fps_display);
    EXPECT_EQ(o.fps, 0u);
    for (const char* bad : {"29", "241", "0", "-60", "60.5", "", "Display", "60Hz"}) {
        EXPECT_FALSE(parse({"--fps", bad}, o, error)) << bad;
        EXPECT_NE(error.find("--fps takes"), std::string::npos) << bad;
    }
    EXPECT_FALSE(parse({"--fps"}, o, error));
    EXPECT_EQ(error, "--fps needs a value");
}
