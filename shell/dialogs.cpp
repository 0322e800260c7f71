#include "shell/dialogs.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/resources.h"
#include "shell/startup.h"

namespace vantrose {

namespace {

const char* const font_path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const bold_font_path = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int font_points = 8;
constexpr int screen_dpi = 96;

// Control ids, as the dialog procedures know them.
constexpr int id_ok = 1, id_cancel = 2, id_about = 1001, id_480 = 1002;

struct Colour {
    Uint8 r, g, b;
};
constexpr Colour face{192, 192, 192}, highlight{255, 255, 255}, shadow{128, 128, 128},
    dark{0, 0, 0}, caption_blue{0, 0, 128};

struct Button {
    DialogRect rect; // pixels, client coordinates
    const char* text;
    int id;
};

struct Dialog {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    TTF_Font* font = nullptr;
    TTF_Font* caption_font = nullptr;
    BaseUnits base{};
    std::string caption;
    std::vector<Button> buttons;
    int focus = -1;   // button with the keyboard focus, -1 for none
    int pressed = -1; // button held down by the mouse
    bool pressed_inside = false;
    bool dirty = true;
};

int mul_div(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

TTF_Font* open_font(const char* path) {
    return TTF_OpenFontDPI(path, font_points, screen_dpi, screen_dpi);
}

BaseUnits base_units_of(TTF_Font* font) {
    int w = 0, h = 0;
    TTF_SizeUTF8(font, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &w, &h);
    return {(w / 26 + 1) / 2, TTF_FontHeight(font)};
}

SDL_HitTestResult caption_drag(SDL_Window*, const SDL_Point* point, void*) {
    return point->y < dialog_frame + dialog_caption ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

void colour(Dialog& d, Colour c) {
    SDL_SetRenderDrawColor(d.renderer, c.r, c.g, c.b, 255);
}

void fill(Dialog& d, int x, int y, int w, int h, Colour c) {
    colour(d, c);
    const SDL_Rect r{x, y, w, h};
    SDL_RenderFillRect(d.renderer, &r);
}

// Top and left edges in one colour, bottom and right in another.
void edge(Dialog& d, int x, int y, int w, int h, Colour top_left, Colour bottom_right) {
    fill(d, x, y, w - 1, 1, top_left);
    fill(d, x, y, 1, h - 1, top_left);
    fill(d, x, y + h - 1, w, 1, bottom_right);
    fill(d, x + w - 1, y, 1, h, bottom_right);
}

void dotted_rect(Dialog& d, int x, int y, int w, int h) {
    colour(d, dark);
    for (int i = 0; i < w; i += 2) {
        SDL_RenderDrawPoint(d.renderer, x + i, y);
        SDL_RenderDrawPoint(d.renderer, x + i, y + h - 1);
    }
    for (int j = 0; j < h; j += 2) {
        SDL_RenderDrawPoint(d.renderer, x, y + j);
        SDL_RenderDrawPoint(d.renderer, x + w - 1, y + j);
    }
}

// Text centred in a rectangle (client pixels), wrapped at its width, clipped to it.
void text(Dialog& d, TTF_Font* font, const char* s, DialogRect r, Colour c, bool centred = true) {
    if (!*s) return;
    TTF_SetFontWrappedAlign(font, centred ? TTF_WRAPPED_ALIGN_CENTER : TTF_WRAPPED_ALIGN_LEFT);
    SDL_Surface* surface =
        TTF_RenderUTF8_Blended_Wrapped(font, s, SDL_Color{c.r, c.g, c.b, 255}, r.w);
    if (!surface) return;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(d.renderer, surface);
    const int x0 = dialog_frame, y0 = dialog_frame + dialog_caption;
    const SDL_Rect clip{x0 + r.x, y0 + r.y, r.w, r.h};
    // Single lines sit in the middle of the rectangle; wrapped text starts at its top.
    const int top = surface->h <= TTF_FontHeight(font) ? (r.h - surface->h) / 2 : 0;
    const SDL_Rect to{x0 + r.x + (centred ? (r.w - surface->w) / 2 : 0), y0 + r.y + top, surface->w,
                      surface->h};
    SDL_RenderSetClipRect(d.renderer, &clip);
    SDL_RenderCopy(d.renderer, texture, nullptr, &to);
    SDL_RenderSetClipRect(d.renderer, nullptr);
    SDL_DestroyTexture(texture);
    SDL_FreeSurface(surface);
}

void draw_frame(Dialog& d) {
    int w = 0, h = 0;
    SDL_GetWindowSize(d.window, &w, &h);
    fill(d, 0, 0, w, h, face);
    edge(d, 0, 0, w, h, face, dark);
    edge(d, 1, 1, w - 2, h - 2, highlight, shadow);
    fill(d, dialog_frame, dialog_frame, w - 2 * dialog_frame, dialog_caption, caption_blue);
    text(d, d.caption_font, d.caption.c_str(),
         DialogRect{3, -dialog_caption, w - 2 * dialog_frame - 6, dialog_caption}, highlight,
         false);
}

void draw_button(Dialog& d, int index) {
    const Button& b = d.buttons[index];
    const int x = dialog_frame + b.rect.x, y = dialog_frame + dialog_caption + b.rect.y;
    int w = b.rect.w, h = b.rect.h;
    const bool down = d.pressed == index && d.pressed_inside;
    const bool focused = d.focus == index;
    fill(d, x, y, w, h, face);
    int ix = x, iy = y;
    if (focused || down) {
        edge(d, x, y, w, h, dark, dark);
        ix += 1, iy += 1, w -= 2, h -= 2;
    }
    if (down) {
        edge(d, ix, iy, w, h, shadow, shadow);
    } else {
        edge(d, ix, iy, w, h, highlight, dark);
        edge(d, ix + 1, iy + 1, w - 2, h - 2, face, shadow);
    }
    const int shift = down ? 1 : 0;
    text(d, d.font, b.text, DialogRect{b.rect.x + shift, b.rect.y + shift, b.rect.w, b.rect.h},
         dark);
    if (focused) dotted_rect(d, x + 4, y + 4, b.rect.w - 8, b.rect.h - 8);
}

bool open_dialog(Dialog& d, const char* caption, DialogRect units, SDL_Window* owner) {
    d.caption = caption;
    const DialogRect size = dialog_to_pixels(units, d.base);
    d.window = SDL_CreateWindow(
        caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w + 2 * dialog_frame,
        size.h + 2 * dialog_frame + dialog_caption, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (!d.window) return false;
    d.renderer = SDL_CreateRenderer(d.window, -1, SDL_RENDERER_SOFTWARE);
    if (!d.renderer) return false;
    SDL_SetWindowHitTest(d.window, caption_drag, nullptr);
    if (owner) SDL_SetWindowModalFor(d.window, owner);
    SDL_ShowWindow(d.window);
    SDL_RaiseWindow(d.window);
    SDL_SetWindowInputFocus(d.window);
    return true;
}

void close_dialog(Dialog& d) {
    if (d.renderer) SDL_DestroyRenderer(d.renderer);
    if (d.window) SDL_DestroyWindow(d.window);
    d.renderer = nullptr;
    d.window = nullptr;
}

int button_at(const Dialog& d, int wx, int wy) {
    const int x = wx - dialog_frame, y = wy - dialog_frame - dialog_caption;
    for (size_t i = 0; i < d.buttons.size(); ++i) {
        const DialogRect& r = d.buttons[i].rect;
        if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return static_cast<int>(i);
    }
    return -1;
}

// One event for the dialog on top: the id of the command it gives, or 0.
// `enter_id` answers Enter when no button has the focus; `escape_id` 0 ignores Escape.
int dialog_event(Dialog& d, const SDL_Event& e, int enter_id, int escape_id) {
    const Uint32 id = SDL_GetWindowID(d.window);
    const int count = static_cast<int>(d.buttons.size());
    switch (e.type) {
    case SDL_WINDOWEVENT:
        if (e.window.windowID == id && (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                        e.window.event == SDL_WINDOWEVENT_SHOWN)) {
            d.dirty = true;
        }
        break; // close requests are ignored: the dialogs have no close box
    case SDL_KEYDOWN:
        switch (e.key.keysym.sym) {
        case SDLK_TAB:
        case SDLK_DOWN:
        case SDLK_RIGHT:
        case SDLK_UP:
        case SDLK_LEFT: {
            const bool back = e.key.keysym.sym == SDLK_UP || e.key.keysym.sym == SDLK_LEFT ||
                              (e.key.keysym.sym == SDLK_TAB && (e.key.keysym.mod & KMOD_SHIFT));
            if (d.focus < 0)
                d.focus = back ? count - 1 : 0;
            else
                d.focus = (d.focus + (back ? count - 1 : 1)) % count;
            d.dirty = true;
            break;
        }
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return d.focus >= 0 ? d.buttons[d.focus].id : enter_id;
        case SDLK_SPACE:
            return d.focus >= 0 ? d.buttons[d.focus].id : 0;
        case SDLK_ESCAPE:
            return escape_id;
        default:
            break;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT) {
            d.pressed = button_at(d, e.button.x, e.button.y);
            d.pressed_inside = d.pressed >= 0;
            if (d.pressed >= 0) d.focus = d.pressed;
            d.dirty = true;
        }
        break;
    case SDL_MOUSEMOTION:
        if (e.motion.windowID == id && d.pressed >= 0) {
            const bool inside = button_at(d, e.motion.x, e.motion.y) == d.pressed;
            d.dirty |= inside != d.pressed_inside;
            d.pressed_inside = inside;
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && d.pressed >= 0) {
            const int held = d.pressed;
            const bool inside =
                e.button.windowID == id && button_at(d, e.button.x, e.button.y) == held;
            d.pressed = -1;
            d.pressed_inside = false;
            d.dirty = true;
            if (inside) return d.buttons[held].id;
        }
        break;
    default:
        break;
    }
    return 0;
}

// The next event, or false after a short sleep. Polled rather than waited for: SDL's wake-up of
// a waiting loop can be addressed to a window destroyed meanwhile (the About box), which the X
// server answers with a fatal error.
bool next_event(SDL_Event& e) {
    if (SDL_PollEvent(&e)) return true;
    SDL_Delay(10);
    return false;
}

bool dialog_fonts(Dialog& d) {
    d.font = open_font(font_path);
    d.caption_font = open_font(bold_font_path);
    if (!d.caption_font) d.caption_font = d.font;
    if (!d.font) return false;
    d.base = base_units_of(d.font);
    return true;
}

void close_fonts(Dialog& d) {
    if (d.caption_font && d.caption_font != d.font) TTF_CloseFont(d.caption_font);
    if (d.font) TTF_CloseFont(d.font);
    d.font = d.caption_font = nullptr;
}

void add_button(Dialog& d, DialogRect units, const char* label, int id) {
    d.buttons.push_back(Button{dialog_to_pixels(units, d.base), label, id});
}

void draw_mode_dialog(Dialog& d, SDL_Texture* picture) {
    draw_frame(d);
    for (size_t i = 0; i < d.buttons.size(); ++i) draw_button(d, static_cast<int>(i));
    // The picture static: sunken edge, bitmap centred, clipped to the inside.
    const DialogRect p = dialog_to_pixels(mode_dialog_picture, d.base);
    const int x = dialog_frame + p.x, y = dialog_frame + dialog_caption + p.y;
    edge(d, x, y, p.w, p.h, shadow, highlight);
    const SDL_Rect inside{x + 1, y + 1, p.w - 2, p.h - 2};
    const SDL_Rect to{inside.x + (inside.w - dialog_picture_width) / 2,
                      inside.y + (inside.h - dialog_picture_height) / 2, dialog_picture_width,
                      dialog_picture_height};
    SDL_RenderSetClipRect(d.renderer, &inside);
    if (picture) SDL_RenderCopy(d.renderer, picture, nullptr, &to);
    SDL_RenderSetClipRect(d.renderer, nullptr);
    SDL_RenderPresent(d.renderer);
    d.dirty = false;
}

void draw_about_dialog(Dialog& d) {
    draw_frame(d);
    // Group box: an etched frame whose top sits half a text line down.
    const DialogRect g = dialog_to_pixels(DialogRect{4, 6, 162, 60}, d.base);
    const int half = TTF_FontHeight(d.font) / 2;
    const int x = dialog_frame + g.x, y = dialog_frame + dialog_caption + g.y + half;
    edge(d, x, y, g.w - 1, g.h - half - 1, shadow, shadow);
    edge(d, x + 1, y + 1, g.w - 1, g.h - half - 1, highlight, highlight);
    text(d, d.font, "Quorv! - Vantrose", dialog_to_pixels(DialogRect{7, 14, 152, 11}, d.base),
         dark);
    const DialogRect lines[3] = {{6, 24, 157, 10}, {6, 34, 156, 17}, {7, 50, 156, 13}};
    for (int i = 0; i < 3; ++i)
        text(d, d.font, about_credits[i], dialog_to_pixels(lines[i], d.base), dark);
    draw_button(d, 0);
    SDL_RenderPresent(d.renderer);
    d.dirty = false;
}

// The About box over the mode dialog: "Ok" closes it, and Escape as a viewer expects.
void run_about_dialog(Dialog& owner, SDL_Texture* owner_picture) {
    Dialog d;
    d.font = owner.font;
    d.caption_font = owner.caption_font;
    d.base = owner.base;
    add_button(d, about_dialog_ok, "Ok", id_ok);
    d.focus = 0; // its dialog procedure lets the first control take the focus
    owner.pressed = -1;
    if (!open_dialog(d, "About", about_dialog_units, owner.window)) {
        close_dialog(d);
        return;
    }
    for (;;) {
        if (d.dirty) draw_about_dialog(d);
        if (owner.dirty) draw_mode_dialog(owner, owner_picture);
        SDL_Event e;
        if (!next_event(e)) {
            if (quit_posted()) break;
            continue;
        }
        if (e.type == SDL_WINDOWEVENT && e.window.windowID == SDL_GetWindowID(owner.window) &&
            e.window.event == SDL_WINDOWEVENT_EXPOSED) {
            owner.dirty = true;
        }
        if (dialog_event(d, e, id_ok, id_ok) == id_ok) break;
    }
    close_dialog(d);
    // The keyboard goes back to the mode dialog (a window manager would see to that).
    SDL_RaiseWindow(owner.window);
    SDL_SetWindowInputFocus(owner.window);
    owner.dirty = true;
}

// Without the dialog font: the same choice in a system message box.
int fallback_mode_dialog() {
    const SDL_MessageBoxButtonData buttons[4] = {
        {0, id_about, "About"},
        {0, id_ok, "640x400x32"},
        {0, id_480, "640x480x32"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, id_cancel, "Exit"}};
    const SDL_MessageBoxData data{SDL_MESSAGEBOX_INFORMATION,
                                  nullptr,
                                  "Quorv! - Vantrose, Windows version",
                                  "Choose the display mode.",
                                  4,
                                  buttons,
                                  nullptr};
    for (;;) {
        int choice = id_cancel;
        if (SDL_ShowMessageBox(&data, &choice) != 0) return 1;
        switch (choice) {
        case id_ok:
            screen_height = 400;
            return 0;
        case id_480:
            screen_height = 480;
            return 0;
        case id_about: {
            std::string credits = "Quorv! - Vantrose";
            for (const char* line : about_credits) credits += std::string("\n") + line;
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "About", credits.c_str(), nullptr);
            break;
        }
        default:
            return 1;
        }
    }
}

} // namespace

DialogRect dialog_to_pixels(DialogRect u, BaseUnits b) {
    return {mul_div(u.x, b.x, 4), mul_div(u.y, b.y, 8), mul_div(u.w, b.x, 4), mul_div(u.h, b.y, 8)};
}

bool dialog_base_units(BaseUnits& base) {
    const bool started = TTF_WasInit() == 0;
    if (started && TTF_Init() != 0) return false;
    TTF_Font* font = open_font(font_path);
    if (font) {
        base = base_units_of(font);
        TTF_CloseFont(font);
    }
    if (started) TTF_Quit();
    return font != nullptr;
}

int run_mode_dialog() {
    if (TTF_Init() != 0) return fallback_mode_dialog();
    Dialog d;
    if (!dialog_fonts(d)) {
        std::fprintf(stderr, "vantrose: cannot open the dialog font %s\n", font_path);
        close_fonts(d);
        TTF_Quit();
        return fallback_mode_dialog();
    }
    add_button(d, mode_dialog_buttons[0], "About", id_about);
    add_button(d, mode_dialog_buttons[1], "640x400x32", id_ok);
    add_button(d, mode_dialog_buttons[2], "640x480x32", id_480);
    add_button(d, mode_dialog_buttons[3], "Exit", id_cancel);
    int result = 1;
    if (open_dialog(d, "Quorv! - Vantrose, Windows version", mode_dialog_units, nullptr)) {
        SDL_Texture* picture =
            SDL_CreateTexture(d.renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STATIC,
                              dialog_picture_width, dialog_picture_height);
        if (picture) {
            SDL_UpdateTexture(picture, nullptr, dialog_picture, dialog_picture_width * 3);
        }
        for (bool done = false; !done;) {
            if (d.dirty) draw_mode_dialog(d, picture);
            SDL_Event e;
            if (!next_event(e)) {
                if (quit_posted()) break; // an interrupt while choosing: as "Exit"
                continue;
            }
            switch (dialog_event(d, e, id_ok, id_cancel)) {
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
                run_about_dialog(d, picture);
                break;
            default:
                break;
            }
        }
        if (picture) SDL_DestroyTexture(picture);
    }
    close_dialog(d);
    close_fonts(d);
    TTF_Quit();
    return result;
}

} // namespace vantrose
