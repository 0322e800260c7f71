// The mode dialog and the About box, drawn into pixels with the compiled-in bitmap font and shown
// in dialog windows of the platform.
#include "shell/dialogs.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "resources/resources.h"
#include "shell/startup.h"

namespace vantrose {

namespace {

struct Colour {
    uint8_t r, g, b;
};
constexpr Colour face{192, 192, 192}, highlight{255, 255, 255}, shadow{128, 128, 128},
    dark{0, 0, 0}, caption_blue{0, 0, 128};

// A dialog window's pixels: blue, green, red, unused, as the show's frames have them. Drawing
// stays inside `clip`.
struct Pixels {
    int w = 0, h = 0;
    std::vector<uint8_t> bytes;
    DialogRect clip{};
};

struct Dialog {
    const char* caption = "";
    DialogState state;
    Pixels pixels;
    int window = 0;
};

int mul_div(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

bool inside(const DialogRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
}

// Mixes a colour over a pixel by `alpha` (255: the colour alone).
void blend(Pixels& p, int x, int y, Colour c, int alpha) {
    if (!inside(p.clip, x, y)) return;
    uint8_t* px = &p.bytes[(size_t(y) * size_t(p.w) + size_t(x)) * 4];
    const int channels[3] = {c.b, c.g, c.r};
    for (int i = 0; i < 3; ++i)
        px[i] = uint8_t((channels[i] * alpha + px[i] * (255 - alpha) + 127) / 255);
}

void fill(Pixels& p, int x, int y, int w, int h, Colour c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) blend(p, i, j, c, 255);
}

// Top and left edges in one colour, bottom and right in another.
void edge(Pixels& p, int x, int y, int w, int h, Colour top_left, Colour bottom_right) {
    fill(p, x, y, w - 1, 1, top_left);
    fill(p, x, y, 1, h - 1, top_left);
    fill(p, x, y + h - 1, w, 1, bottom_right);
    fill(p, x + w - 1, y, 1, h, bottom_right);
}

void dotted_rect(Pixels& p, int x, int y, int w, int h) {
    for (int i = 0; i < w; i += 2) {
        blend(p, x + i, y, dark, 255);
        blend(p, x + i, y + h - 1, dark, 255);
    }
    for (int j = 0; j < h; j += 2) {
        blend(p, x, y + j, dark, 255);
        blend(p, x + w - 1, y + j, dark, 255);
    }
}

const DialogGlyph& glyph_of(const DialogFont& font, char c) {
    int code = static_cast<unsigned char>(c);
    if (code < dialog_font_first || code > dialog_font_last) code = '?';
    return font.glyphs[code - dialog_font_first];
}

// A line's extent: from its leftmost ink or pen start to its rightmost ink or pen end.
struct LineExtent {
    int left, width;
};

LineExtent measure(const DialogFont& font, std::string_view line) {
    int pen = 0, left = 0, right = 0;
    for (const char c : line) {
        const DialogGlyph& g = glyph_of(font, c);
        if (g.w > 0) {
            left = std::min(left, pen + g.left);
            right = std::max(right, pen + g.left + g.w);
        }
        pen += g.advance;
    }
    return {-left, std::max(right, pen) - left};
}

// One line with its extent's top left at x, y.
void draw_line(Pixels& p, const DialogFont& font, std::string_view line, int x, int y, Colour c) {
    int pen = x + measure(font, line).left;
    for (const char ch : line) {
        const DialogGlyph& g = glyph_of(font, ch);
        const uint8_t* ink = font.coverage + g.offset;
        for (int j = 0; j < g.h; ++j)
            for (int i = 0; i < g.w; ++i)
                if (const int a = ink[j * g.w + i])
                    blend(p, pen + g.left + i, y + font.ascent - g.top + j, c, a);
        pen += g.advance;
    }
}

// The text broken into lines no wider than `width`, after spaces; a line keeps the space it
// breaks at, and a word wider than `width` has a line of its own.
std::vector<std::string_view> wrap(const DialogFont& font, std::string_view text, int width) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = 0;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == ' ' || i + 1 == text.size()) {
                if (end > 0 && measure(font, text.substr(0, i + 1)).width > width) break;
                end = i + 1;
            }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return lines;
}

// Text in a rectangle of client pixels, clipped to it: one line in its middle, wrapped lines
// from its top; centred or from its left edge.
void text(Pixels& p, const DialogFont& font, const char* s, DialogRect r, Colour c,
          bool centred = true) {
    r.x += dialog_frame;
    r.y += dialog_frame + dialog_caption;
    const DialogRect whole = p.clip;
    p.clip = r;
    const std::vector<std::string_view> lines = wrap(font, s, r.w);
    int y = r.y + (lines.size() == 1 ? (r.h - font.height) / 2 : 0);
    for (const std::string_view line : lines) {
        const int w = measure(font, line).width;
        draw_line(p, font, line, r.x + (centred ? (r.w - w) / 2 : 0), y, c);
        y += font.height;
    }
    p.clip = whole;
}

void draw_frame(Dialog& d) {
    Pixels& p = d.pixels;
    fill(p, 0, 0, p.w, p.h, face);
    edge(p, 0, 0, p.w, p.h, face, dark);
    edge(p, 1, 1, p.w - 2, p.h - 2, highlight, shadow);
    fill(p, dialog_frame, dialog_frame, p.w - 2 * dialog_frame, dialog_caption, caption_blue);
    text(p, dialog_caption_font, d.caption,
         DialogRect{3, -dialog_caption, p.w - 2 * dialog_frame - 6, dialog_caption}, highlight,
         false);
}

// A push button: raised, framed in black with the focus, sunken while held down.
void draw_button(Dialog& d, int index) {
    Pixels& p = d.pixels;
    const DialogButton& b = d.state.buttons[size_t(index)];
    const int x = dialog_frame + b.rect.x, y = dialog_frame + dialog_caption + b.rect.y;
    int w = b.rect.w, h = b.rect.h;
    const bool down = d.state.pressed == index && d.state.pressed_inside;
    const bool focused = d.state.focus == index;
    fill(p, x, y, w, h, face);
    int ix = x, iy = y;
    if (focused || down) {
        edge(p, x, y, w, h, dark, dark);
        ix += 1, iy += 1, w -= 2, h -= 2;
    }
    if (down) {
        edge(p, ix, iy, w, h, shadow, shadow);
    } else {
        edge(p, ix, iy, w, h, highlight, dark);
        edge(p, ix + 1, iy + 1, w - 2, h - 2, face, shadow);
    }
    const int shift = down ? 1 : 0;
    text(p, dialog_font, b.text, DialogRect{b.rect.x + shift, b.rect.y + shift, b.rect.w, b.rect.h},
         dark);
    if (focused) dotted_rect(p, x + 4, y + 4, b.rect.w - 8, b.rect.h - 8);
}

void draw_buttons(Dialog& d) {
    for (size_t i = 0; i < d.state.buttons.size(); ++i) draw_button(d, int(i));
}

// The picture static: a sunken edge, the bitmap centred and clipped to the inside.
void draw_mode_dialog(Dialog& d, BaseUnits base) {
    Pixels& p = d.pixels;
    draw_frame(d);
    draw_buttons(d);
    const DialogRect r = dialog_to_pixels(mode_dialog_picture, base);
    const int x = dialog_frame + r.x, y = dialog_frame + dialog_caption + r.y;
    edge(p, x, y, r.w, r.h, shadow, highlight);
    const DialogRect whole = p.clip;
    p.clip = {x + 1, y + 1, r.w - 2, r.h - 2};
    const int left = p.clip.x + (p.clip.w - dialog_picture_width) / 2;
    const int top = p.clip.y + (p.clip.h - dialog_picture_height) / 2;
    for (int j = 0; j < dialog_picture_height; ++j)
        for (int i = 0; i < dialog_picture_width; ++i) {
            const uint8_t* rgb =
                &dialog_picture[(size_t(j) * dialog_picture_width + size_t(i)) * 3];
            blend(p, left + i, top + j, Colour{rgb[0], rgb[1], rgb[2]}, 255);
        }
    p.clip = whole;
}

// A group box (an etched frame whose top sits half a line down), the title and the credits.
void draw_about_dialog(Dialog& d, BaseUnits base) {
    Pixels& p = d.pixels;
    draw_frame(d);
    const DialogRect g = dialog_to_pixels(DialogRect{4, 6, 162, 60}, base);
    const int half = dialog_font.height / 2;
    const int x = dialog_frame + g.x, y = dialog_frame + dialog_caption + g.y + half;
    edge(p, x, y, g.w - 1, g.h - half - 1, shadow, shadow);
    edge(p, x + 1, y + 1, g.w - 1, g.h - half - 1, highlight, highlight);
    text(p, dialog_font, "Quorv! - Vantrose", dialog_to_pixels(DialogRect{7, 14, 152, 11}, base),
         dark);
    const DialogRect lines[3] = {{6, 24, 157, 10}, {6, 34, 156, 17}, {7, 50, 156, 13}};
    for (int i = 0; i < 3; ++i)
        text(p, dialog_font, about_credits[i], dialog_to_pixels(lines[i], base), dark);
    draw_buttons(d);
}

// A dialog window of `units` with its frame and caption; false when none opens.
bool open_dialog(Dialog& d, const char* caption, DialogRect units, BaseUnits base, int owner) {
    d.caption = caption;
    const DialogRect client = dialog_to_pixels(units, base);
    Pixels& p = d.pixels;
    p.w = client.w + 2 * dialog_frame;
    p.h = client.h + 2 * dialog_frame + dialog_caption;
    p.bytes.assign(size_t(p.w) * size_t(p.h) * 4, 0);
    p.clip = {0, 0, p.w, p.h};
    d.window = platform->open_dialog(p.w, p.h, caption, dialog_frame + dialog_caption, owner);
    return d.window != 0;
}

void add_button(Dialog& d, DialogRect units, BaseUnits base, const char* label, int id) {
    d.state.buttons.push_back(DialogButton{dialog_to_pixels(units, base), label, id});
}

// The dialogs' next event for `d`, or 0 after a short wait; a pointer over another window is
// outside every button of `d`, and the keyboard belongs to the dialog on top.
int next_command(Dialog& d, int enter_id, int escape_id) {
    DialogEvent e = platform->next_dialog_event(10);
    if (e.kind == DialogEvent::Kind::none) return 0;
    if (e.window != d.window && e.kind != DialogEvent::Kind::key) {
        if (e.kind == DialogEvent::Kind::close) return 0;
        e.x = e.y = -1;
    }
    return dialog_event(d.state, e, enter_id, escape_id);
}

void show(Dialog& d, BaseUnits base, bool about) {
    about ? draw_about_dialog(d, base) : draw_mode_dialog(d, base);
    platform->show_dialog(d.window, d.pixels.bytes.data());
    d.state.dirty = false;
}

// The About box over the mode dialog: "Ok" closes it, and Escape as a viewer expects.
void run_about_dialog(const Dialog& owner, BaseUnits base) {
    Dialog d;
    add_button(d, about_dialog_ok, base, "Ok", id_ok);
    d.state.focus = 0; // its dialog procedure lets the first control take the focus
    if (!open_dialog(d, "About", about_dialog_units, base, owner.window)) return;
    while (!quit_posted()) {
        if (d.state.dirty) show(d, base, true);
        if (next_command(d, id_ok, id_ok) == id_ok) break;
    }
    platform->close_dialog(d.window);
}

} // namespace

DialogRect dialog_to_pixels(DialogRect u, BaseUnits b) {
    return {mul_div(u.x, b.x, 4), mul_div(u.y, b.y, 8), mul_div(u.w, b.x, 4), mul_div(u.h, b.y, 8)};
}

BaseUnits dialog_base_units() {
    int width = 0;
    for (char c = 'A'; c <= 'Z'; ++c)
        width += glyph_of(dialog_font, c).advance + glyph_of(dialog_font, char(c + 32)).advance;
    return {(width / 26 + 1) / 2, dialog_font.height};
}

int dialog_event(DialogState& d, const DialogEvent& e, int enter_id, int escape_id) {
    const int count = int(d.buttons.size());
    const auto button_at = [&d, count](int x, int y) {
        for (int i = 0; i < count; ++i) {
            const DialogRect& r = d.buttons[size_t(i)].rect;
            if (inside(r, x - dialog_frame, y - dialog_frame - dialog_caption)) return i;
        }
        return -1;
    };
    switch (e.kind) {
    case DialogEvent::Kind::key:
        switch (e.key.key) {
        case Key::tab:
        case Key::down:
        case Key::right:
        case Key::up:
        case Key::left: {
            const bool back = e.key.key == Key::up || e.key.key == Key::left ||
                              (e.key.key == Key::tab && e.key.shift);
            if (count == 0) break;
            d.focus =
                d.focus < 0 ? (back ? count - 1 : 0) : (d.focus + (back ? count - 1 : 1)) % count;
            d.dirty = true;
            break;
        }
        case Key::enter:
            return d.focus >= 0 ? d.buttons[size_t(d.focus)].id : enter_id;
        case Key::space:
            return d.focus >= 0 ? d.buttons[size_t(d.focus)].id : 0;
        case Key::escape:
            return escape_id;
        default:
            break;
        }
        break;
    case DialogEvent::Kind::close:
        return escape_id;
    case DialogEvent::Kind::mouse_down:
        d.pressed = button_at(e.x, e.y);
        d.pressed_inside = d.pressed >= 0;
        if (d.pressed >= 0) d.focus = d.pressed;
        d.dirty = true;
        break;
    case DialogEvent::Kind::mouse_move:
        if (d.pressed >= 0) {
            const bool in = button_at(e.x, e.y) == d.pressed;
            d.dirty |= in != d.pressed_inside;
            d.pressed_inside = in;
        }
        break;
    case DialogEvent::Kind::mouse_up:
        if (d.pressed >= 0) {
            const int held = d.pressed;
            d.pressed = -1;
            d.pressed_inside = false;
            d.dirty = true;
            if (button_at(e.x, e.y) == held) return d.buttons[size_t(held)].id;
        }
        break;
    case DialogEvent::Kind::none:
        break;
    }
    return 0;
}

int run_mode_dialog() {
    const BaseUnits base = dialog_base_units();
    Dialog d;
    add_button(d, mode_dialog_buttons[0], base, "About", id_about);
    add_button(d, mode_dialog_buttons[1], base, "640x400x32", id_ok);
    add_button(d, mode_dialog_buttons[2], base, "640x480x32", id_480);
    add_button(d, mode_dialog_buttons[3], base, "Exit", id_cancel);
    if (!open_dialog(d, "Quorv! - Vantrose, Windows version", mode_dialog_units, base, 0)) return 1;
    int result = 1;
    // An interrupt while choosing counts as "Exit".
    for (bool done = false; !done && !quit_posted();) {
        if (d.state.dirty) show(d, base, false);
        switch (next_command(d, id_ok, id_cancel)) {
        case id_ok:
            screen_height = 400;
            result = 0;
            done = true;
            break;
        case id_480:
            screen_height = 480;
            result = 0;
            done = true;
            break;
        case id_cancel:
            done = true;
            break;
        case id_about:
            run_about_dialog(d, base);
            break;
        default:
            break;
        }
    }
    platform->close_dialog(d.window);
    return result;
}

} // namespace vantrose
