// The dialogs without a display: the font they are drawn with, and the mode dialog and About box
// answering keys, the mouse and a close request through the platform's dialog calls.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "resources/resources.h"
#include "shell/dialogs.h"
#include "shell/startup.h"
#include "tests/shell/fake_platform.h"

using namespace vantrose;

namespace {

using Kind = DialogEvent::Kind;

DialogEvent key(Key k, bool shift = false) {
    DialogEvent e;
    e.kind = Kind::key;
    e.key.key = k;
    e.key.shift = shift;
    return e;
}

// The mouse at the middle of a control of window 1 (the mode dialog) or 2 (the About box).
DialogEvent mouse(Kind kind, DialogRect units, int window = 1) {
    const DialogRect r = dialog_to_pixels(units, dialog_base_units());
    DialogEvent e;
    e.kind = kind;
    e.window = window;
    e.x = dialog_frame + r.x + r.w / 2;
    e.y = dialog_frame + dialog_caption + r.y + r.h / 2;
    return e;
}

std::vector<DialogEvent> click(DialogRect units, int window = 1) {
    return {mouse(Kind::mouse_down, units, window), mouse(Kind::mouse_up, units, window)};
}

} // namespace

TEST(DialogFont, DrawsEveryCharacterOfTheDialogsWithinALineAtTheLayoutsBaseUnits) {
    EXPECT_EQ(dialog_base_units().x, 7);
    EXPECT_EQ(dialog_base_units().y, 13);
    const std::pair<const DialogFont*, std::string> texts[] = {
        {&dialog_caption_font, "Quorv! - Vantrose, Windows version"},
        {&dialog_caption_font, "About"},
        {&dialog_font, "About 640x400x32 640x480x32 Exit Ok Quorv! - Vantrose"},
        {&dialog_font, about_credits[0]},
        {&dialog_font, about_credits[1]},
        {&dialog_font, about_credits[2]}};
    for (const auto& [font, text] : texts)
        for (const char c : text) {
            ASSERT_TRUE(c >= dialog_font_first && c <= dialog_font_last) << text;
            const DialogGlyph& g = font->glyphs[c - dialog_font_first];
            EXPECT_GT(g.advance, 0) << c;
            EXPECT_EQ(g.w > 0 && g.h > 0, c != ' ') << c;
            EXPECT_LE(g.top, font->ascent) << c;
            EXPECT_LE(g.h - g.top, font->height - font->ascent) << c;
        }
}

TEST(ModeDialog, KeysMouseAndCloseGiveTheModeOrExitAndAboutOpensOverIt) {
    const std::vector<DialogEvent> tab(1, key(Key::tab)), enter(1, key(Key::enter));
    const DialogRect about = mode_dialog_buttons[0], mode400 = mode_dialog_buttons[1],
                     mode480 = mode_dialog_buttons[2], exit = mode_dialog_buttons[3];
    const DialogEvent close{Kind::close, 1, {}, 0, 0};
    struct Case {
        const char* what;
        std::vector<std::vector<DialogEvent>> events;
        int result, height;
        bool about_opened = false;
    };
    const Case cases[] = {
        {"Escape", {{key(Key::escape)}}, 1, 0},
        {"Enter with no focus", {enter}, 0, 400},
        {"Tab to the third button", {tab, tab, tab, enter}, 0, 480},
        {"Shift+Tab from none is Exit", {{key(Key::tab, true), key(Key::space)}}, 1, 0},
        {"Up wraps to Exit, Down back to About",
         {{key(Key::up), key(Key::down)}, enter},
         1,
         0,
         true},
        {"Space with no focus, then a quit", {{key(Key::space)}}, 1, 0},
        {"a close request", {{close}}, 1, 0},
        {"click", {click(mode480)}, 0, 480},
        {"let go over another button",
         {{mouse(Kind::mouse_down, mode480), mouse(Kind::mouse_move, mode400),
           mouse(Kind::mouse_up, mode400)},
          {key(Key::escape)}},
         1,
         0},
        {"About: clicks behind it do nothing, Escape closes it",
         {click(about), click(mode400), {key(Key::escape)}, click(exit)},
         1,
         0,
         true},
        {"About: Ok", {click(about), click(about_dialog_ok, 2), click(mode400)}, 0, 400, true},
    };
    for (const Case& c : cases) {
        test_support::FakePlatform fake;
        platform = &fake;
        for (const std::vector<DialogEvent>& events : c.events)
            fake.events.insert(fake.events.end(), events.begin(), events.end());
        screen_height = 0;
        clear_quit();
        EXPECT_EQ(run_mode_dialog(), c.result) << c.what;
        EXPECT_EQ(screen_height, c.height) << c.what;
        const std::string mode = "open Quorv! - Vantrose, Windows version 638x213 over 0; ";
        EXPECT_EQ(fake.dialogs, c.about_opened
                                    ? mode + "open About 304x187 over 1; close 2; close 1; "
                                    : mode + "close 1; ")
            << c.what;
        // The caption bar's blue (blue, green, red, unused) and the face's grey beside it.
        EXPECT_EQ(fake.shown[(5 * size_t(fake.width) + 200) * 4], 128) << c.what;
        EXPECT_EQ(fake.shown[(30 * size_t(fake.width) + 5) * 4 + 2], 192) << c.what;
        EXPECT_TRUE(fake.events.empty()) << c.what;
    }
    clear_quit();
    platform = headless_platform();
}
