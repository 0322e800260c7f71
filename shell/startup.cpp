#include "shell/startup.h"

#include <cstdio>

namespace vantrose {

int32_t screen_height = 400;
int32_t app_active = 0;

// Stand-in until the shell lands.
int vantrose_main(int, char**) {
    std::puts("vantrose: not built yet");
    return 2;
}

} // namespace vantrose
