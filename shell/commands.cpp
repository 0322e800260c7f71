// The show's commands: the key table and the one place that carries them out.
#include "shell/commands.h"

#include <cstdio>

#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/startup.h"

namespace vantrose {

namespace {

bool paused = false;

} // namespace

Command command_for(KeyPress press) {
    if (press.key == Key::escape) return Command::quit; // held or not
    if (press.repeat) return Command::none;             // held keys act once
    switch (press.key) {
    case Key::enter:
        return press.alt ? Command::full_screen : Command::none;
    case Key::f12:
    case Key::print_screen:
        return Command::save_frame;
    case Key::space:
    case Key::p:
        return Command::pause;
    case Key::m:
        return Command::mute;
    case Key::plus:
        return Command::volume_up;
    case Key::minus:
        return Command::volume_down;
    default:
        return Command::none;
    }
}

void run_command(Command command) {
    switch (command) {
    case Command::none:
        break;
    case Command::quit:
        post_quit();
        break;
    case Command::full_screen:
        platform->toggle_full_screen();
        if (paused) platform->present_again();
        break;
    case Command::save_frame:
        save_presented_frame();
        break;
    case Command::pause:
        paused = !paused;
        break;
    case Command::mute:
        std::fprintf(stderr, "vantrose: sound %s\n", toggle_mute() ? "muted" : "on");
        break;
    case Command::volume_up:
    case Command::volume_down:
        std::fprintf(stderr, "vantrose: volume %d/8\n",
                     change_listening_volume(command == Command::volume_up ? 1 : -1));
        break;
    }
}

void key_pressed(KeyPress press) {
    run_command(command_for(press));
}

bool show_paused() {
    return paused;
}

// The show waits here, inside the pump, answering the window until resumed or ended.
void wait_while_paused() {
    if (!paused) return;
    pause_show(true);
    std::fprintf(stderr, "vantrose: paused\n");
    while (paused && !quit_posted()) {
        platform->wait_for_input();
        if (!display_gone) platform->pump_events();
    }
    if (quit_posted()) return; // the pump ends the show; nothing to resume
    std::fprintf(stderr, "vantrose: resumed\n");
    pause_show(false);
}

} // namespace vantrose
