// The real program's windows under the X server that ./test starts: the mode dialog, the About
// box, the show and its window destroyed from outside; screenshots go to gui-artefacts/.
#include "shell/dialogs.h"
#include "tests/gui/x_display.h"

using namespace vantrose;
using namespace vantrose::test_support;

namespace {

const std::string mode_dialog = "^Quorv! - Vantrose, Windows version$";

class ShellGui : public GuiTest {
  protected:
    // Screen position of a point of a dialog's client area given in pixels.
    int client_x(const Geometry& g, int x) const { return g.x + dialog_frame + x; }
    int client_y(const Geometry& g, int y) const { return g.y + dialog_frame + dialog_caption + y; }
    void click_button(const Geometry& g, DialogRect units) {
        const DialogRect r = dialog_to_pixels(units, base_);
        x_command("xdotool mousemove " + std::to_string(client_x(g, r.x + r.w / 2)) + " " +
                  std::to_string(client_y(g, r.y + r.h / 2)) + " click 1");
    }
    // The size a dialog's window has for its client area in dialog units.
    void expect_window_for(const Geometry& g, DialogRect units) {
        const DialogRect client = dialog_to_pixels(units, base_);
        EXPECT_EQ(g.w, client.w + 2 * dialog_frame);
        EXPECT_EQ(g.h, client.h + 2 * dialog_frame + dialog_caption);
    }
    Geometry open_mode_dialog(Program& p) {
        const long window = find_window(mode_dialog);
        if (window == 0) ADD_FAILURE() << "the mode dialog did not appear: " << p.finish(0).err;
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // first paint
        return window ? geometry(window) : Geometry{};
    }

    const BaseUnits base_ = dialog_base_units();
};

} // namespace

TEST_F(ShellGui, ModeDialogAndAboutBoxLookAsLaidOutAndCloseAsTheyShould) {
    Program p({"--stats"});
    const Geometry g = open_mode_dialog(p);
    expect_window_for(g, mode_dialog_units);
    const Image shot = screenshot("mode-dialog");
    ASSERT_GT(shot.w, 0);
    for (const DialogRect& units : mode_dialog_buttons) {
        const DialogRect r = dialog_to_pixels(units, base_);
        const int x = client_x(g, r.x), y = client_y(g, r.y);
        EXPECT_TRUE(shot.grey(x, y, 255)) << "highlight at the button's top left " << units.y;
        EXPECT_TRUE(shot.grey(x + r.w - 1, y + r.h - 1, 0)) << "shadow at its bottom right";
        EXPECT_TRUE(shot.grey(x - 1, y + r.h / 2, 192)) << "dialog face just outside";
        EXPECT_TRUE(shot.grey(x + 3, y + r.h / 2, 192)) << "button face inside";
        int dark = 0;
        for (int i = r.w / 4; i < 3 * r.w / 4; ++i)
            for (int j = 4; j < r.h - 4; ++j) dark += shot.at(x + i, y + j)[0] < 96;
        EXPECT_GT(dark, 10) << "a label in the middle of the button";
    }
    const DialogRect picture = dialog_to_pixels(mode_dialog_picture, base_);
    EXPECT_TRUE(shot.grey(client_x(g, picture.x), client_y(g, picture.y), 128)) << "sunken edge";
    EXPECT_EQ(shot.at(g.x + g.w / 2, g.y + dialog_frame + 2)[2], 128) << "caption bar";

    for (const bool by_key : {false, true}) {    // closed by its button, then by Escape
        click_button(g, mode_dialog_buttons[0]); // "About"
        const long about = find_window("^About$");
        ASSERT_NE(about, 0) << "no About box";
        const Geometry a = geometry(about);
        expect_window_for(a, about_dialog_units);
        by_key ? key("Escape") : click_button(a, about_dialog_ok);
        for (int i = 0; i < 30 && find_window("^About$", 0) != 0; ++i) // a loaded machine
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(find_window("^About$", 0), 0);
        EXPECT_NE(find_window(mode_dialog, 0), 0) << "only the About box closes";
    }
    click_button(g, mode_dialog_buttons[3]); // "Exit"
    const RunResult r = p.finish(15);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("frames"), std::string::npos) << "no show ran: " << r.err;
    EXPECT_EQ(find_window(show_window, 0), 0);
}

TEST_F(ShellGui, ModeButtonsGiveA4To3WindowAltEnterFillsTheScreenAndA640x480FullScreenShow) {
    for (const bool full_screen : {false, true}) {
        std::vector<std::string> args{"--stats"};
        if (!full_screen) args.push_back("--window");
        Program p(args);
        const Geometry g = open_mode_dialog(p);
        if (full_screen) {
            for (int k = 0; k < 3; ++k) key("Tab"); // "640x480x32" by keyboard
            key("Return");
        } else {
            click_button(g, mode_dialog_buttons[1]); // "640x400x32"
        }
        // The full-screen window keeps the title the show always had; a window says what it shows.
        const std::string title = full_screen ? "^Test$" : show_window;
        const long window = find_window(title);
        ASSERT_NE(window, 0) << "no show window";
        EXPECT_EQ(find_window(mode_dialog, 0), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const Geometry show = geometry(window);
        const Image shot = screenshot(full_screen ? "show-640x480-full-screen" : "show-640x400");
        if (full_screen) {
            // Whole multiples of 640 x 480, centred, black around.
            EXPECT_EQ(std::pair(show.w, show.h), std::pair(shot.w, shot.h));
            const int scale = std::min(shot.w / 640, shot.h / 480);
            ASSERT_GE(scale, 1);
            const int left = (shot.w - 640 * scale) / 2, top = (shot.h - 480 * scale) / 2;
            EXPECT_GT(lit(shot, {left, top, 640 * scale, 480 * scale, ""}, 5), 1000);
            EXPECT_EQ(lit(shot, {0, std::max(top - 1, 0), top > 0 ? shot.w : 0, 1, ""}, 1), 0);
        } else {
            EXPECT_EQ(std::pair(show.w, show.h), std::pair(640, 480)) << "640 x 400 at 4:3";
            EXPECT_GT(lit(shot, show, 7), 100) << "frames reach the window";
            // Alt+Enter: the 4:3 picture across the whole screen's width, centred, black above
            // and below, under the full-screen window's own caption; again: back to the window.
            x_command("xdotool windowfocus --sync " + std::to_string(window));
            const auto shape = [window] {
                const Geometry s = geometry(window);
                return std::tuple(s.w, s.h, s.name);
            };
            key("alt+Return");
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            EXPECT_EQ(shape(), std::tuple(geometry(0).w, geometry(0).h, std::string("Test")));
            const Image wide = screenshot("alt-enter-full-screen");
            const int height = wide.w * 3 / 4, top = (wide.h - height) / 2, w = wide.w;
            EXPECT_GT(lit(wide, {0, top, w, height, ""}, 9), (height / 9) * (w / 9) / 2);
            EXPECT_EQ(lit(wide, {0, top - 1, top > 0 ? w : 0, 1, ""}, 1), 0) << "black above";
            EXPECT_EQ(lit(wide, {0, top + height, top > 0 ? w : 0, 1, ""}, 1), 0) << "and below";
            key("alt+Return");
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            EXPECT_EQ(shape(), std::tuple(640, 480, std::string("Quorv! - Vantrose")));
        }
        ASSERT_TRUE(p.running()) << "the show goes on";
        x_command("xdotool windowfocus --sync " + std::to_string(window));
        key("Escape");
        const RunResult r = p.finish(15);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string err = "\n" + r.err; // --stats may open with its frames line
        const size_t frames = err.find("\nframes ");
        ASSERT_NE(frames, std::string::npos) << "shutdown ran: " << r.err;
        EXPECT_GT(std::stol(err.substr(frames + 8)), 90) << "frames all along: " << r.err;
        EXPECT_EQ(find_window(title, 0), 0);
    }
}

// A destroyed window ends the show with its message and status 2, never an abort.
TEST_F(ShellGui, WindowDestroyedFromOutsideEndsWithStatusTwoNamingTheDisplay) {
    const std::string dir = make_data_dir("gui-closed", 64);
    Program p({"--mode", "400", "--window", "--trace", "--data", dir});
    // Scene 1 starts once the window is shown and the timer runs.
    ASSERT_TRUE(p.wait_for_err("scene 1 ", 30)) << p.finish(0).err;
    const long window = find_window(show_window);
    ASSERT_NE(window, 0) << "no show window: " << p.finish(0).err;
    x_command("xdotool windowclose " + std::to_string(window));
    const RunResult r = p.finish(20);
    fs::remove_all(dir);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(std::string("display ") + std::getenv("DISPLAY")), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("X Error of failed request"), std::string::npos) << r.err;
    EXPECT_EQ(find_window(show_window, 0), 0) << "the window is gone";
}
