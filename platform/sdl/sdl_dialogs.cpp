// Dialog windows under SDL: each a borderless window with a software renderer and one streaming
// texture of the shell's pixels, repainted from it whenever the window is uncovered.
#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/sdl/sdl_keys.h"

namespace vantrose {

namespace {

struct DialogWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int owner = 0;
};

// Dialog number n is dialogs[n - 1]; a closed one leaves an empty slot.
std::vector<DialogWindow> dialogs;

DialogWindow* dialog(int number) {
    if (number < 1 || number > int(dialogs.size())) return nullptr;
    DialogWindow& d = dialogs[size_t(number - 1)];
    return d.window ? &d : nullptr;
}

int number_of(Uint32 window_id) {
    for (size_t i = 0; i < dialogs.size(); ++i)
        if (dialogs[i].window && SDL_GetWindowID(dialogs[i].window) == window_id) return int(i + 1);
    return 0;
}

void repaint(const DialogWindow& d) {
    SDL_RenderCopy(d.renderer, d.texture, nullptr, nullptr);
    SDL_RenderPresent(d.renderer);
}

// The caption rows move the window, as a system caption would.
SDL_HitTestResult caption_drag(SDL_Window*, const SDL_Point* point, void* drag_rows) {
    return point->y < int(reinterpret_cast<intptr_t>(drag_rows)) ? SDL_HITTEST_DRAGGABLE
                                                                 : SDL_HITTEST_NORMAL;
}

void destroy(DialogWindow& d) {
    if (d.texture) SDL_DestroyTexture(d.texture);
    if (d.renderer) SDL_DestroyRenderer(d.renderer);
    if (d.window) SDL_DestroyWindow(d.window);
    d = DialogWindow{};
}

DialogEvent mouse(DialogEvent::Kind kind, Uint32 window_id, int x, int y) {
    DialogEvent e;
    e.kind = kind;
    e.window = number_of(window_id);
    e.x = x;
    e.y = y;
    return e;
}

} // namespace

int SdlDialogs::open_dialog(int w, int h, const char* caption, int drag_rows, int owner) {
    DialogWindow d;
    d.owner = owner;
    d.window = SDL_CreateWindow(caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (d.window) d.renderer = SDL_CreateRenderer(d.window, -1, SDL_RENDERER_SOFTWARE);
    if (d.renderer)
        d.texture = SDL_CreateTexture(d.renderer, SDL_PIXELFORMAT_ARGB8888,
                                      SDL_TEXTUREACCESS_STREAMING, w, h);
    if (!d.texture) {
        destroy(d);
        return 0;
    }
    SDL_SetTextureBlendMode(d.texture, SDL_BLENDMODE_NONE); // the fourth byte is unused
    SDL_SetWindowHitTest(d.window, caption_drag, reinterpret_cast<void*>(intptr_t(drag_rows)));
    if (const DialogWindow* o = dialog(owner)) SDL_SetWindowModalFor(d.window, o->window);
    SDL_ShowWindow(d.window);
    SDL_RaiseWindow(d.window);
    SDL_SetWindowInputFocus(d.window);
    dialogs.push_back(d);
    return int(dialogs.size());
}

void SdlDialogs::show_dialog(int window, const uint8_t* pixels) {
    const DialogWindow* d = dialog(window);
    if (!d) return;
    int w = 0;
    SDL_QueryTexture(d->texture, nullptr, nullptr, &w, nullptr);
    SDL_UpdateTexture(d->texture, nullptr, pixels, w * 4);
    repaint(*d);
}

// Polled rather than waited for: SDL's wake-up of a waiting loop can be addressed to a window
// destroyed meanwhile (the About box), which the X server answers with a fatal error.
DialogEvent SdlDialogs::next_dialog_event(int wait_ms) {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) {
        SDL_Delay(Uint32(wait_ms));
        return {};
    }
    switch (e.type) {
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            DialogEvent close;
            close.kind = DialogEvent::Kind::close;
            close.window = number_of(e.window.windowID);
            return close;
        }
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN)
            if (const DialogWindow* d = dialog(number_of(e.window.windowID))) repaint(*d);
        return {};
    case SDL_KEYDOWN: {
        DialogEvent key;
        key.kind = DialogEvent::Kind::key;
        key.window = number_of(e.key.windowID);
        key.key = translate_key(e.key);
        return key;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT) return {};
        return mouse(e.type == SDL_MOUSEBUTTONDOWN ? DialogEvent::Kind::mouse_down
                                                   : DialogEvent::Kind::mouse_up,
                     e.button.windowID, e.button.x, e.button.y);
    case SDL_MOUSEMOTION:
        return mouse(DialogEvent::Kind::mouse_move, e.motion.windowID, e.motion.x, e.motion.y);
    default:
        return {};
    }
}

void SdlDialogs::close_dialog(int window) {
    DialogWindow* d = dialog(window);
    if (!d) return;
    const int owner = d->owner;
    destroy(*d);
    while (!dialogs.empty() && !dialogs.back().window) dialogs.pop_back();
    // The keyboard goes back to the owner (a window manager would see to that).
    if (const DialogWindow* o = dialog(owner)) {
        SDL_RaiseWindow(o->window);
        SDL_SetWindowInputFocus(o->window);
        repaint(*o);
    }
}

} // namespace vantrose
