// No window, no audio device: the interface's do-nothing defaults, every display step succeeding;
// frames go only to the frame hooks.
#include "platform/platform.h"

namespace vantrose {

Platform* headless_platform() {
    static Platform headless;
    return &headless;
}

Platform* platform = headless_platform();

} // namespace vantrose
