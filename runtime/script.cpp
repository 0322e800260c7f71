#include "runtime/script.h"

#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "runtime/palette.h"
#include "runtime/ticks.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/timer.h"
#include "capture/trace.h"

namespace vantrose {

int32_t scene_start_order = 0;
uint32_t loop_counter = 0;

bool order_reached(int32_t start, int32_t n) {
    const int64_t target = static_cast<int64_t>(start) + n;
    if (music_order == target) return true;
    // The module skipped over the target (a jump) or came back before the start (its end
    // wrapped it around): waiting on would wait forever.
    return music_order > target || music_order < start;
}

void order_loop(int32_t n, void (*frame)()) {
    scene_start_order = music_order;
    order_loop_from_start(n, frame);
}

void order_loop_from_start(int32_t n, void (*frame)()) {
    do {
        frame();
        poll_music();
        present_stripes();
    } while (!order_reached(scene_start_order, n));
}

void decay_loop(uint32_t frames, void (*transfer)()) {
    for (loop_counter = 0; loop_counter < frames; ++loop_counter) {
        transfer();
        poll_music();
        present_stripes();
    }
}

void picture_scene(int32_t n, bool poll_fade) {
    // pal32 is still that of the previous picture scene, black after its fade-out.
    present_hires(hires_picture);
    present_frame();
    clear_palette(pal1);
    do {
        step_palette_toward(pal1, pal0);
        build_pal32(pal1);
        poll_music();
        present_hires(hires_picture);
        present_frame();
    } while (!order_reached(scene_start_order, n));
    clear_palette(pal1);
    for (loop_counter = 0; loop_counter < 64; ++loop_counter) {
        step_palette_toward(pal0, pal1);
        build_pal32(pal0);
        if (poll_fade) poll_music();
        present_hires(hires_picture);
        present_frame();
    }
}

void run_show() {
    allocate_buffers();
    load_entry(27, hires_picture, hires_picture_size);
    load_entry(28, pal0, palette_size);
    set_timer_routine(idle_tick);
    start_timer();
    play_music();

    // The opening waits for order 5 itself: no start order has been recorded yet.
    note_scene_start(1);
    scene_start_order = 0;
    picture_scene(5);

    run_scene_table();
    free_buffers();
}

} // namespace vantrose
