// SDL's key codes translated into the show's own keys.
#pragma once
#include <SDL.h>

#include "shell/commands.h"

namespace vantrose {

KeyPress translate_key(const SDL_KeyboardEvent& event);

} // namespace vantrose
