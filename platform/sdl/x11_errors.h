// The X error handlers of the SDL window.
#pragma once

namespace vantrose {

// Installs them (the x11 video driver only).
void catch_x_errors();

} // namespace vantrose
