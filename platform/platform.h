// The outside world behind one interface: an SDL window with audio, a browser page (the web
// build), or nothing at all (headless). Every call has a do-nothing default (a display step that
// succeeds), so a backend fills in only what it has; the headless one is the defaults alone.
// The display steps mirror the order in which setup_display takes them; each reports failure.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "shell/commands.h"

namespace vantrose {

// Fills `frames` stereo sample frames (left, right) at 44100 Hz.
using AudioFill = void (*)(int16_t* samples, size_t frames);

// What reaches a dialog window: a key, the left mouse button or the pointer at x, y of the
// window's pixels, or a request to close it.
struct DialogEvent {
    enum class Kind { none, key, mouse_down, mouse_move, mouse_up, close };
    Kind kind = Kind::none;
    int window = 0; // the dialog window it came to
    KeyPress key;
    int x = 0, y = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // The display object: the video system with at least one screen.
    virtual bool create_display_object() { return true; }
    virtual void show_cursor(bool /*shown*/) {}
    // main_window, 640 x height, hidden until show_window.
    virtual bool create_window(int /*height*/) { return true; }
    // The window's exclusive presentation: its renderer, full-screen unless windowed.
    virtual bool set_cooperative_level() { return true; }
    // 640 x height, nearest-neighbour, integer scaling where it fits.
    virtual bool set_display_mode(int /*height*/) { return true; }
    // The surface frames are copied into: a 640 x height texture of blue, green, red, unused.
    virtual bool create_surface(int /*height*/) { return true; }
    // A first lock of that surface, which tells the row pitch the copies step by.
    virtual bool get_back_buffer() { return true; }
    virtual void destroy_window() {}
    virtual void show_window() {}
    virtual void release_display() {}
    // Lock, copy `height` rows of 640 pixels, unlock, flip. A failed lock drops the frame.
    virtual void present(const uint8_t* /*frame*/, int /*height*/) {}
    // Handles pending events: focus sets app_active, Escape and window close post the quit.
    virtual void pump_events() {}
    // A message box with an OK button (the text also goes to stderr, written by the caller).
    virtual void message_box(const char* /*caption*/, const char* /*text*/) {}

    // Audio output at 44100 Hz stereo, 16-bit; false when no device opens. A backend without a
    // device (headless, the page, which takes its sound frame by frame) keeps these defaults.
    virtual bool open_audio(AudioFill) { return false; }
    virtual void start_audio() {}
    virtual void pause_audio() {}
    // Keeps the fill routine from running between lock and unlock.
    virtual void lock_audio() {}
    virtual void unlock_audio() {}
    virtual void close_audio() {}
    // Frames sent to the device and not yet heard, read right after a fill: the fill's own
    // buffer and the device's latency.
    virtual uint32_t audio_queued_frames() { return 0; }

    // The display's refresh in Hz (0 when unknown) and whether a present waits for the flip.
    virtual int refresh_rate() { return 0; }
    virtual bool follows_flip() { return false; }
    // Shows the frame presented last again (the window changed while the show is paused).
    virtual void present_again() {}
    // Alt+Enter: full-screen to a window and back.
    virtual void toggle_full_screen() {}
    // Waits a little for input while the show is paused (pump_events follows).
    virtual void wait_for_input() { std::this_thread::sleep_for(std::chrono::milliseconds(15)); }
    // Hands a saved frame to the viewer the backend's own way (the page downloads it as `name`);
    // false where there is none, and the frame is written as a PNG file instead.
    virtual bool offer_frame(const uint8_t*, int, const char*) { return false; }
    // The backend's own mode dialog (the page's HTML): 400 or 480 for the mode chosen, 0 for
    // "Exit"; -1 where the shell draws its own in dialog windows.
    virtual int choose_mode() { return -1; }
    // Why the display could not be opened, for the message that says so.
    virtual const char* error_text() { return "no display"; }
    // The window system closed at the very end, once nothing uses it.
    virtual void quit() {}

    // Dialog windows, whose every pixel the shell draws, frame and caption too: w x h, centred,
    // without the system's frame; the top `drag_rows` rows move it. `owner` (0: none) takes no
    // input while it is open. Its number, 0 when none opens.
    virtual int open_dialog(int /*w*/, int /*h*/, const char* /*caption*/, int /*drag_rows*/,
                            int /*owner*/) {
        return 0;
    }
    // w x h pixels of blue, green, red, unused, top row first; kept to repaint the window.
    virtual void show_dialog(int /*window*/, const uint8_t* /*pixels*/) {}
    // The dialogs' next event, after waiting at most `wait_ms` for one (Kind::none then).
    virtual DialogEvent next_dialog_event(int /*wait_ms*/) { return {}; }
    virtual void close_dialog(int /*window*/) {}
};

extern Platform* platform;

// The build's window backend (SDL natively, the page in the web build) and the null one.
Platform* window_platform();
Platform* headless_platform();

// Escape, window close, SIGINT, SIGTERM and --frames post it; pump_messages acts on it.
void post_quit();
bool quit_posted();
void clear_quit();

} // namespace vantrose
