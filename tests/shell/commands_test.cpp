// The show's commands without a display: the key table, the pause wait inside the pump, the
// option table against the README, and no platform code outside platform/.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/commands.h"
#include "shell/options.h"
#include "shell/startup.h"

using namespace vantrose;

namespace {

std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A backend whose pump hands over one scripted key press per turn.
struct ScriptedKeys final : Platform {
    std::deque<KeyPress> keys;
    int waits = 0;
    void pump_events() override {
        if (keys.empty()) return;
        key_pressed(keys.front());
        keys.pop_front();
    }
    void wait_for_input() override { ++waits; }
};

} // namespace

TEST(Commands, KeyTable) {
    const struct {
        KeyPress press;
        Command command;
    } table[] = {
        {{Key::escape}, Command::quit},
        {{Key::escape, false, false, true}, Command::quit}, // held: still ends the show
        {{Key::enter, true}, Command::full_screen},
        {{Key::enter}, Command::none},
        {{Key::enter, true, false, true}, Command::none}, // held keys act once
        {{Key::f12}, Command::save_frame},
        {{Key::print_screen}, Command::save_frame},
        {{Key::space}, Command::pause},
        {{Key::p, false, true}, Command::pause},
        {{Key::p, false, false, true}, Command::none},
        {{Key::m}, Command::mute},
        {{Key::plus}, Command::volume_up},
        {{Key::minus}, Command::volume_down},
        {{Key::tab}, Command::none},
        {{Key::other, true}, Command::none},
    };
    for (const auto& row : table)
        EXPECT_EQ(command_for(row.press), row.command)
            << static_cast<int>(row.press.key) << " alt " << row.press.alt;
}

// P pauses at one pump; the pump waits, answering input, until the next P; Escape while paused
// ends the wait at once with the quit posted.
TEST(Commands, PauseWaitsInsideThePumpUntilResumedOrQuit) {
    ScriptedKeys keys;
    Platform* before = platform;
    platform = &keys;
    options = Options{};
    options.headless = true;
    clear_quit();
    run_command(Command::pause);
    keys.keys = {{Key::other}, {Key::m, false, false, true}, {Key::p}};
    testing::internal::CaptureStderr();
    wait_while_paused();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vantrose: paused\nvantrose: resumed\n");
    EXPECT_FALSE(show_paused());
    EXPECT_EQ(keys.waits, 3);

    run_command(Command::pause);
    keys.keys = {{Key::escape}};
    testing::internal::CaptureStderr();
    wait_while_paused();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vantrose: paused\n");
    EXPECT_TRUE(quit_posted());
    run_command(Command::pause); // the show would end here: its timer and music resumed for
    pause_show(false);           // the tests after this one
    clear_quit();
    platform = before;
}

TEST(Commands, ReadmeNamesEveryOptionAndUsageShowsIt) {
    const std::string readme = read_text(std::filesystem::path(VANTROSE_SOURCE_DIR) / "README.md");
    const std::string usage = usage_text();
    for (const OptionRow& row : option_rows()) {
        EXPECT_NE(readme.find(std::string("`") + row.name), std::string::npos) << row.name;
        EXPECT_NE(usage.find(std::string("  ") + row.name), std::string::npos) << row.name;
    }
}

// Platform conditionals and platform headers live in platform/ alone (the generator, a native
// tool, aside).
TEST(Layout, NoPlatformCodeOutsidePlatform) {
    const std::regex leak(
        R"(#\s*(if|ifdef|ifndef|elif).*(__EMSCRIPTEN__|_WIN32|__linux__|__APPLE__))"
        R"(|#\s*include\s*[<"](SDL[^">]*\.h|X11/|emscripten|windows\.h|unistd\.h|spawn\.h|sys/))");
    const std::filesystem::path top(VANTROSE_SOURCE_DIR);
    int files = 0;
    for (const char* folder :
         {"shell", "capture", "runtime", "effects2d", "engine3d", "scenes3d", "resources"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            ++files;
            EXPECT_FALSE(std::regex_search(read_text(entry.path()), leak)) << entry.path();
        }
    }
    EXPECT_GT(files, 40);
}
