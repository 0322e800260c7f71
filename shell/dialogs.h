// The mode dialog and the About box: their layout in dialog units, their look, drawn in pixels
// with the compiled-in 8-point sans-serif, and how they answer keys and the mouse.
#pragma once
#include <vector>

#include "platform/platform.h"

namespace vantrose {

struct DialogRect {
    int x, y, w, h;
};

// Dialog base units: the font's average character width and its height.
struct BaseUnits {
    int x, y;
};

// Dialog units to pixels: x by base.x / 4, y by base.y / 8, rounded.
DialogRect dialog_to_pixels(DialogRect units, BaseUnits base);

// Base units of the dialog font.
BaseUnits dialog_base_units();

// Dialog windows draw their own frame and caption; the client area starts here.
constexpr int dialog_frame = 3;
constexpr int dialog_caption = 18;

constexpr DialogRect mode_dialog_units{0, 0, 361, 116};
// "About", "640x400x32", "640x480x32", "Exit".
constexpr DialogRect mode_dialog_buttons[4] = {
    {4, 7, 184, 18}, {4, 33, 185, 18}, {4, 59, 183, 18}, {4, 85, 184, 18}};
constexpr DialogRect mode_dialog_picture{195, 9, 160, 100};
constexpr DialogRect about_dialog_units{0, 0, 170, 100};
constexpr DialogRect about_dialog_ok{60, 77, 50, 18};

// Control ids, as the dialog procedures know them.
constexpr int id_ok = 1, id_cancel = 2, id_about = 1001, id_480 = 1002;

struct DialogButton {
    DialogRect rect; // pixels of the client area
    const char* text;
    int id;
};

// A dialog's buttons, which has the keyboard focus and which the mouse holds down.
struct DialogState {
    std::vector<DialogButton> buttons;
    int focus = -1;   // -1: none
    int pressed = -1; // -1: none
    bool pressed_inside = false;
    bool dirty = true; // to be drawn again
};

// One event for the dialog: the id of the button it gives, or 0. Tab, Shift+Tab and the arrows
// move the focus; Enter gives the focused button, or `enter_id` when none has it; Space the
// focused button; Escape and a close request `escape_id` (0: ignored). A button gives its id
// when the mouse is let go over it; x, y are pixels of the dialog's window.
int dialog_event(DialogState& dialog, const DialogEvent& event, int enter_id, int escape_id);

// Runs the mode dialog: 0 with screen_height set to 400 or 480, or 1 for "Exit".
int run_mode_dialog();

} // namespace vantrose
