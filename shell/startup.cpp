#include "shell/startup.h"

#if !defined(__EMSCRIPTEN__)
#include <SDL.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/archive.h"
#include "runtime/script.h"
#include "shell/dialogs.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/platform.h"
#include "shell/recorder.h"
#include "shell/stats.h"
#include "shell/timer.h"

namespace vantrose {

int32_t screen_height = 400;
int32_t app_active = 0;
// The program as started (the module instance of the original).
const char* instance = nullptr;

namespace {

std::atomic<bool> quit_flag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#if defined(__EMSCRIPTEN__)
// The page is the web build's window system: nothing to close, and its canvas is always there.
void close_windowing() {}
const char* windowing_error() {
    return "no canvas";
}
Platform* window_platform() {
    return web_platform();
}
#else
void close_windowing() {
    SDL_Quit();
}
const char* windowing_error() {
    return SDL_GetError();
}
Platform* window_platform() {
    return sdl_platform();
}
#endif

extern "C" void on_signal(int) {
    quit_flag.store(true);
}

void no_display() {
    std::fprintf(stderr,
                 "vantrose: no display could be opened (%s).\n"
                 "Run with --headless to play the show without a window, or with --record FILE "
                 "to render it to a video.\n",
                 windowing_error());
}

void usage_error(const std::string& error) {
    std::fprintf(stderr, "vantrose: %s\n%s", error.c_str(), usage_text());
}

} // namespace

void post_quit() {
    quit_flag.store(true);
}
bool quit_posted() {
    return quit_flag.load();
}
void clear_quit() {
    quit_flag.store(false);
}

void pump_messages() {
    platform->pump_events();
    if (quit_posted()) {
        shutdown();
        std::fflush(stdout);
        std::exit(0);
    }
}

void shutdown() {
    stop_music();
    sound_close();
    release_display();
    platform->show_cursor(true);
    // Joined last: the routine in the slot by now touches nothing that shutdown releases.
    stop_timer();
    print_stats();
    const bool recorded = recorder_close();
    close_windowing();
    if (!recorded) {
        std::fflush(stdout);
        std::exit(2);
    }
}

void abandon_start(int status) {
    discard_music();
    sound_close();
    release_display();
    platform->show_cursor(true);
    stop_timer();
    close_windowing();
    std::fflush(stdout);
    std::exit(status);
}

int vantrose_main(int argc, char** argv) {
    instance = argc > 0 ? argv[0] : "vantrose";
    std::string error;
    if (!parse_options(argc, argv, options, error)) {
        usage_error(error);
        return 2;
    }
    if (options.help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vantrose %s\n", VANTROSE_VERSION);
        return 0;
    }
    if (!options.dump_dir.empty()) {
        std::error_code failed;
        std::filesystem::create_directories(options.dump_dir, failed);
        if (failed) {
            usage_error("cannot make the --dump folder " + options.dump_dir + ": " +
                        failed.message());
            return 2;
        }
    }
    archive_path = options.data_dir + "/vantrose.dat";
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    platform = options.headless ? headless_platform() : window_platform();
    app_active = options.headless ? 1 : 0;

    if (!create_display_object()) {
        no_display();
        return 2;
    }
    // The window class has no counterpart: SDL windows need no registration.
    if (options.mode != 0) {
        screen_height = options.mode;
    } else if (options.headless) {
        screen_height = 400;
    } else if (run_mode_dialog() != 0) {
        release_display();
        close_windowing();
        return 0;
    }
    if (!setup_display()) {
        no_display();
        release_display();
        platform->show_cursor(true);
        close_windowing();
        return 2;
    }
    true_color_frame = static_cast<uint8_t*>(std::calloc(frame_bytes, 1));
    if (!true_color_frame) {
        std::puts("vantrose: out of memory");
        abandon_start(0);
    }
    sound_init();
    load_music();
    platform->show_window();

    if (!options.record_file.empty()) {
        // Checked before the show starts: a show that cannot be recorded is not played.
        std::string why;
        if (!recorder_open(why)) {
            std::fprintf(stderr, "vantrose: %s\n", why.c_str());
            abandon_start(2);
        }
    }
    stats_begin();
    run_show();
    shutdown();
    return 1;
}

} // namespace vantrose
