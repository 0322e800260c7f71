// Entry, message pump, shutdown, and the one way out of the process.
#pragma once
#include <cstdint>
#include <string>

namespace vantrose {

extern int32_t screen_height; // 400 or 480
extern int32_t app_active;    // frames reach the display only while non-zero

// The program: returns the process exit status (or ends the process through end_process).
int vantrose_main(int argc, char** argv);

// Handles pending window events; ends the process (status 0) on a quit, and with status 2 when
// the display has gone away.
void pump_messages();
// Stops the timer thread (joined), the music and the sound output, releases the display and
// shows the cursor. Runs once; later calls do nothing.
void shutdown();

// What a subsystem does at the end: `orderly` on the show's own end (the music reports its stop
// and free), not on an early way out.
using Close = void (*)(bool orderly);
// Each subsystem registers its close as it starts; the way out runs them once, last first.
void at_shutdown(Close close);

// Every end of the process once it has started goes through here, whatever ends it: shutdown
// (the music closed without its stop and free messages), the work buffers freed, then
// `out_text` on stdout and `err_text` on stderr, then exit with `status`. No thread but the
// caller's is left running when the process exits.
[[noreturn]] void end_process(int status, const std::string& out_text = {},
                              const std::string& err_text = {});

// The line that follows a missing or damaged data file's message: the file's full path and
// how to name another data folder.
std::string data_file_hint(const std::string& path, bool missing);

// The display connection is gone (the X server ended): nothing may touch it any more, not even
// to release it. Set by the X error handlers.
extern bool display_gone;
// Neither gone nor failed: a display that failed or went away is not touched again, since
// releasing a window that is gone only brings more errors.
bool display_usable();
// A message of our own naming the display, set when the display failed or went away during
// the show; pump_messages then ends the process with status 2.
void display_failed(const std::string& why);

} // namespace vantrose
