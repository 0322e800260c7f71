// The mode dialog and the About box, laid out in dialog units from an 8-point sans-serif font.
#pragma once

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

// Base units of the dialog font; false when the font cannot be opened.
bool dialog_base_units(BaseUnits& base);

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

// Runs the mode dialog: 0 with screen_height set to 400 or 480, or 1 for "Exit".
int run_mode_dialog();

} // namespace vantrose
