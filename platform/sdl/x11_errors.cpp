// X errors under the SDL window: a window destroyed from outside or an X server that goes away
// ends the show through end_process (status 2) instead of through Xlib's exit.
#include <string>

#include "platform/platform.h"
#include "platform/sdl/x11_errors.h"
#include "shell/startup.h"

// Last: Xlib's macros (KeyPress among them) would rename the show's own names.
#include <X11/Xlib.h>

namespace vantrose {

namespace {

std::string display_name(Display* display) {
    const char* name = display ? DisplayString(display) : nullptr;
    return name && *name ? name : "(unnamed)";
}

// Called inside Xlib: no request may be made from here. The failure is noted and the next
// pump ends the show; the requests still under way fail the same way and are ignored.
int on_x_error(Display* display, XErrorEvent* error) {
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    display_failed("vantrose: display " + display_name(display) + " reported X error " + text +
                   " (request " + std::to_string(error->request_code) + "." +
                   std::to_string(error->minor_code) +
                   "): our window is gone or unusable; the show ends");
    return 0;
}

// The connection is lost: Xlib would exit after this returns, so the process ends here,
// without touching the display again.
int on_x_io_error(Display* display) {
    display_gone = true;
    end_process(2, {},
                "vantrose: the connection to display " + display_name(display) +
                    " was lost; the show ends\n");
}

} // namespace

void catch_x_errors() {
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_x_io_error);
}

} // namespace vantrose
