// No X server behind the SDL window on Windows: its X error handlers are nothing to install.
#include "platform/sdl/x11_errors.h"

namespace vantrose {

void catch_x_errors() {}

} // namespace vantrose
