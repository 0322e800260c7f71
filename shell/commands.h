// What a viewer can ask of the running show, from whatever keys or buttons the backend has.
#pragma once

namespace vantrose {

// The show's commands, carried out in one place for every backend.
enum class Command { none, quit, full_screen, save_frame, pause, mute, volume_up, volume_down };

// The keys the show and its dialogs know; each backend translates its own key codes into these.
enum class Key {
    other,
    escape,
    enter,
    space,
    tab,
    up,
    down,
    left,
    right,
    p,
    m,
    plus,
    minus,
    f12,
    print_screen
};

struct KeyPress {
    Key key = Key::other;
    bool alt = false;
    bool shift = false;
    bool repeat = false; // held down: only Escape acts again
};

// The one key table: which command a key press during the show gives.
Command command_for(KeyPress press);
// Carries a command out: the quit is posted, pause is noted for pump_messages, the sound and
// the window are told at once.
void run_command(Command command);
// A key pressed during the show.
void key_pressed(KeyPress press);

// Whether the show is paused; pump_messages waits in wait_while_paused until it is not.
bool show_paused();
void wait_while_paused();

} // namespace vantrose
