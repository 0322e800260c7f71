// Entry, message pump, shutdown, and the one way out of the process.
#include "shell/startup.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "capture/dump.h"
#include "capture/recorder.h"
#include "capture/stats.h"
#include "platform/platform.h"
#include "platform/sys.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "runtime/script.h"
#include "shell/clock.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/timer.h"

namespace vantrose {

int32_t screen_height = 400;
int32_t app_active = 0;
// The program as started (the module instance of the original).
const char* instance = nullptr;

namespace {

std::atomic<bool> quit_flag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_end_signal() {
    quit_flag.store(true);
}

std::vector<Close> closes;

void no_display() {
    std::fprintf(stderr,
                 "vantrose: no display could be opened (%s).\n"
                 "Run with --headless to play the show without a window, or with --record FILE "
                 "to render it to a video.\n",
                 platform->error_text());
}

void usage_error(const std::string& error) {
    std::fprintf(stderr, "vantrose: %s\n%s", error.c_str(), usage_text());
}

std::string display_failure;
bool closed = false;

// Last started, first closed: the timer thread is joined before the music, the devices and the
// buffers go, so no tick runs while they do.
void close_everything(bool orderly) {
    if (closed) return;
    closed = true;
    for (auto close = closes.rbegin(); close != closes.rend(); ++close) (*close)(orderly);
}

void close_windowing() {
    if (display_usable()) platform->quit();
}

// The end of a show that ran: the complete show (status 1) or a quit (status 0). A recording
// that could not be finished turns either into status 2.
[[noreturn]] void end_show(int status) {
    shutdown();
    print_stats();
    const bool recorded = recorder_close();
    close_windowing();
    std::fflush(stdout);
    std::exit(recorded ? status : 2);
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

bool display_gone = false;

bool display_usable() {
    return !display_gone && display_failure.empty();
}

// A subsystem started again counts as started last.
void at_shutdown(Close close) {
    std::erase(closes, close);
    closes.push_back(close);
}

// The quit ends whatever loop waits (the mode dialog too); the failure decides the status.
void display_failed(const std::string& why) {
    if (display_failure.empty()) display_failure = why;
    post_quit();
}

void pump_messages() {
    if (!display_gone) platform->pump_events();
    wait_while_paused();
    if (!display_failure.empty()) end_process(2, {}, display_failure + "\n");
    if (quit_posted()) end_show(show_end_status(false));
}

void shutdown() {
    close_everything(true);
}

void end_process(int status, const std::string& out_text, const std::string& err_text) {
    close_everything(false);
    free_buffers();
    std::fputs(out_text.c_str(), stdout);
    std::fflush(stdout);
    std::fputs(err_text.c_str(), stderr);
    close_windowing();
    std::exit(status);
}

std::string data_file_hint(const std::string& path, bool missing) {
    std::error_code failed;
    std::filesystem::path full = std::filesystem::absolute(path, failed);
    if (failed) full = path;
    return std::string("vantrose: ") + (missing ? "no file at " : "the damaged file is ") +
           full.lexically_normal().string() +
           "; run with --data DIR to name the folder that holds vantrose.dat and vantrose.s3m\n";
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
    if (!options.dump_dir.empty() && !prepare_dump_folder(options.dump_dir, error)) {
        std::fprintf(stderr, "vantrose: %s\n", error.c_str());
        return 2;
    }
    find_data_dir();
    archive_path = options.data_dir + "/vantrose.dat";
    catch_end_signals(on_end_signal);
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
    } else if (const int choice = run_mode_dialog(); !display_failure.empty()) {
        end_process(2, {}, display_failure + "\n");
    } else if (choice != 0) {
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
    if (!true_color_frame) out_of_memory_exit();
    sound_init();
    load_music();
    platform->show_window();

    if (!options.record_file.empty()) {
        // Checked before the show starts: a show that cannot be recorded is not played.
        std::string why;
        if (!recorder_open(why)) {
            std::fprintf(stderr, "vantrose: %s\n", why.c_str());
            end_process(2);
        }
    }
    stats_begin();
    if (options.scene > 1) begin_scene_skip();
    try {
        run_show();
    } catch (const std::bad_alloc&) {
        out_of_memory_exit(); // a container or a 3D texture block the allocator refused
    }
    end_show(show_end_status(true));
}

} // namespace vantrose
