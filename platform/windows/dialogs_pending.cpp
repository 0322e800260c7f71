// TEMPORARY: the mode dialog on Windows until the dialogs need no SDL2_ttf; it picks 400 lines.
#include "shell/dialogs.h"
#include "shell/startup.h"

namespace vantrose {

int run_mode_dialog() {
    screen_height = 400;
    return 0;
}

} // namespace vantrose
