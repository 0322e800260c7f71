// Entry, message pump and shutdown.
#pragma once
#include <cstdint>

namespace vantrose {

extern int32_t screen_height; // 400 or 480
extern int32_t app_active;    // frames reach the display only while non-zero

// The program: returns the process exit status.
int vantrose_main(int argc, char** argv);

// Handles pending window events; runs shutdown and ends the process (status 0) on a quit.
void pump_messages();
void shutdown();

} // namespace vantrose
