// SDL's key codes translated into the show's own keys.
#include "platform/sdl/sdl_keys.h"

namespace vantrose {

namespace {

Key key_of(SDL_Keycode code) {
    switch (code) {
    case SDLK_ESCAPE:
        return Key::escape;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return Key::enter;
    case SDLK_SPACE:
        return Key::space;
    case SDLK_TAB:
        return Key::tab;
    case SDLK_UP:
        return Key::up;
    case SDLK_DOWN:
        return Key::down;
    case SDLK_LEFT:
        return Key::left;
    case SDLK_RIGHT:
        return Key::right;
    case SDLK_p:
        return Key::p;
    case SDLK_m:
        return Key::m;
    case SDLK_PLUS:
    case SDLK_EQUALS: // + without shift on most layouts
    case SDLK_KP_PLUS:
        return Key::plus;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
        return Key::minus;
    case SDLK_F12:
        return Key::f12;
    case SDLK_PRINTSCREEN:
        return Key::print_screen;
    default:
        return Key::other;
    }
}

} // namespace

KeyPress translate_key(const SDL_KeyboardEvent& event) {
    return {key_of(event.keysym.sym), (event.keysym.mod & KMOD_ALT) != 0,
            (event.keysym.mod & KMOD_SHIFT) != 0, event.repeat != 0};
}

} // namespace vantrose
