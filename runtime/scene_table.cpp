#include <cstring>

#include "effects2d/layered_rotozoom.h"
#include "effects2d/mapped_texture.h"
#include "effects2d/plasma.h"
#include "effects2d/pulse_rotozoom.h"
#include "effects2d/radial_tables.h"
#include "effects2d/ripple.h"
#include "effects2d/scroller.h"
#include "effects2d/twirl.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "runtime/palette.h"
#include "runtime/script.h"
#include "runtime/ticks.h"
#include "runtime/transfer.h"
#include "scenes3d/scenes.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/timer.h"
#include "capture/trace.h"

namespace vantrose {

namespace {

void load(uint32_t index, void* destination) {
    uint8_t* bytes = static_cast<uint8_t*>(destination);
    load_entry(index, bytes, buffer_capacity(bytes));
}

void set_layer_a(uint8_t* frame, uint8_t* palette) {
    layer_a_frame = frame;
    layer_a_pal = palette;
}

void set_layer_b(uint8_t* frame, uint8_t* palette) {
    layer_b_frame = frame;
    layer_b_pal = palette;
}

void first_rotozoom() {
    layered_rotozoom_frame(layered_rotozoom_1, buf2, buf0);
}
void second_rotozoom() {
    layered_rotozoom_frame(layered_rotozoom_2, buf2, buf0);
}
void pulse_rotozoom() {
    pulse_rotozoom_frame(pulse_rotozoom_state, buf3, buf7);
}

void twirl_scene(uint32_t picture, uint32_t palette) {
    load(picture, buf0);
    load(palette, pal3);
    set_layer_b(buf1, pal3);
    twirl_source = buf0;
    twirl_target = buf1;
    clear_palette(pal6);
    // Before the second twirl wave_tick is still installed: reset its state between two ticks.
    between_ticks([] {
        wave_phase = 0;
        wave_sign = 1;
    });
    set_timer_routine(wave_tick);
    order_loop(4, [] {
        twirl_frame();
        rotate_palette(pal3);
        rotate_palette(pal3);
        transfer_b();
    });
}

// Frame loop of a fixed number of frames that is not a decay (the ripple's fade-out).
void counted_loop(uint32_t frames, void (*frame)()) {
    for (loop_counter = 0; loop_counter < frames; ++loop_counter) {
        frame();
        poll_music();
        present_stripes();
    }
}

void ripple_scene_frame() {
    ripple_frame();
    transfer_a_copy();
}

void opening_effects() {
    note_scene_start(2);
    clear_palette(pal1);
    clear_palette(pal0);
    set_timer_routine(idle_tick);
    layered_rotozoom_init(layered_rotozoom_1);
    pulse_rotozoom_init(pulse_rotozoom_state);
    layered_rotozoom_init(layered_rotozoom_2);
    build_radial_tables();
    // Entries 0 and 1 are overwritten before any frame shows them.
    load(0, buf1);
    load(1, pal1);
    set_layer_a(buf0, pal6);
    set_layer_b(buf1, pal7);
    load(4, buf1);
    load(5, pal1);
    clear_palette(pal0);
    set_timer_routine(tick_fade_7_1);
    order_loop(3, [] { transfer_a_over_b(); });

    note_scene_start(3);
    load(2, buf2);
    load(3, pal0);
    clear_palette(pal6);
    set_timer_routine(tick_fade_6_0);
    order_loop(4, [] {
        first_rotozoom();
        transfer_a_over_b();
    });

    note_scene_start(4);
    clear_palette(pal0);
    set_timer_routine(tick_fade_6_0);
    order_loop(1, [] {
        first_rotozoom();
        transfer_a_over_b();
    });

    note_scene_start(5);
    set_layer_a(buf3, pal7);
    set_layer_b(buf0, pal6);
    clear_palette(pal1);
    clear_palette(pal6);
    load(8, buf2);
    load(9, pal0);
    load(10, buf4);
    load(12, buf5);
    load(14, buf6);
    load(11, pal2);
    load(13, pal3);
    load(15, pal4);
    set_timer_routine(tick_fade_6_0_7_1);
    order_loop(3, [] {
        second_rotozoom();
        transfer_a_b();
    });

    // Four pictures on layer A, one music order each, under the rotozoom.
    const auto over_picture = [] {
        second_rotozoom();
        transfer_b_over_a();
    };
    note_scene_start(6);
    set_layer_a(buf4, pal2);
    set_timer_routine(idle_tick);
    order_loop(1, over_picture);
    note_scene_start(7);
    set_layer_a(buf5, pal3);
    order_loop(1, over_picture);
    note_scene_start(8);
    set_layer_a(buf6, pal4);
    order_loop(1, over_picture);
    note_scene_start(9);
    load(29, buf6);
    load(30, pal4);
    set_layer_a(buf6, pal4);
    order_loop(1, over_picture);
}

void pulse_section() {
    note_scene_start(10);
    clear_palette(pal7);
    set_layer_a(buf7, pal7);
    load(16, buf3);
    load(17, pal5);
    load(18, buf5);
    load(19, pal3);
    set_timer_routine(tick_fade_7_5);
    order_loop(3, [] {
        pulse_rotozoom();
        second_rotozoom();
        transfer_a_b();
    });

    note_scene_start(11);
    clear_palette(pal0);
    set_timer_routine(tick_fade_6_0);
    order_loop(1, [] {
        pulse_rotozoom();
        second_rotozoom();
        // Stepped here as well as on the tick: the rotozoom fades out at both rates.
        step_palette_toward(pal6, pal0);
        transfer_a_b();
    });

    const auto pulse_alone = [] {
        pulse_rotozoom();
        transfer_a_b();
    };
    note_scene_start(12);
    set_timer_routine(idle_tick);
    order_loop(1, pulse_alone);

    note_scene_start(13);
    set_layer_b(buf5, pal6);
    set_timer_routine(tick_fade_7_0_6_3);
    order_loop(2, pulse_alone);

    note_scene_start(14);
    set_timer_routine(tick_fade_7_5);
    order_loop(1, pulse_alone);

    note_scene_start(15);
    clear_palette(pal3);
    set_timer_routine(tick_fade_6_3);
    order_loop(1, pulse_alone);

    note_scene_start(16);
    clear_palette(pal6);
    clear_palette(pal7);
    decay_loop(30, transfer_a_b);
}

void twirl_and_plasma_section() {
    note_scene_start(17);
    twirl_scene(20, 21);
    note_scene_start(18);
    clear_palette(pal3);
    decay_loop(40, transfer_b);

    note_scene_start(19);
    twirl_scene(22, 23);
    note_scene_start(20);
    clear_palette(pal3);
    decay_loop(40, transfer_b);

    note_scene_start(21);
    run_scene_3d_2();

    note_scene_start(22);
    load(23, pal2);
    load(24, map_table);
    map_source = buf2;
    map_target = buf5;
    set_layer_b(buf5, pal2);
    set_timer_routine(idle_tick);
    order_loop(4, [] {
        plasma_shear_frame();
        rotate_palette(pal2);
        transfer_b();
    });
    note_scene_start(23);
    clear_palette(pal2);
    decay_loop(30, transfer_b);

    note_scene_start(24);
    load(25, pal2);
    order_loop(4, [] {
        plasma_fold_frame();
        rotate_palette(pal2);
        transfer_b();
    });
    note_scene_start(25);
    clear_palette(pal2);
    decay_loop(30, transfer_b);

    note_scene_start(26);
    load(49, pal2);
    order_loop(4, [] {
        plasma_displace_frame();
        rotate_palette(pal2);
        transfer_b();
    });
    note_scene_start(27);
    clear_palette(pal2);
    decay_loop(40, transfer_b);
}

void mapped_texture_section() {
    note_scene_start(28);
    run_scene_3d_1();

    note_scene_start(29);
    set_timer_routine(idle_tick);
    load(37, pal2);
    load(36, buf2);
    load(35, map_table);
    map_source = buf2;
    map_target = buf5;
    set_layer_b(buf5, pal2);
    order_loop(4, [] {
        map_drift_frame();
        transfer_b();
    });
    note_scene_start(30);
    clear_palette(pal2);
    decay_loop(40, transfer_b);

    note_scene_start(31);
    scene_start_order = music_order;
    load(42, pal2);
    load(41, buf2);
    order_loop_from_start(4, [] {
        map_swell_frame();
        transfer_b();
    });
    note_scene_start(32);
    clear_palette(pal2);
    decay_loop(40, transfer_b);

    note_scene_start(33);
    scene_start_order = music_order;
    load(43, hires_picture);
    load(44, pal0);
    set_timer_routine(idle_tick);
    picture_scene(3);

    note_scene_start(34);
    scene_start_order = music_order;
    load(24, map_table);
    load(26, pal2);
    load(38, buf2);
    set_timer_routine(idle_tick);
    order_loop_from_start(4, [] {
        map_wave_frame();
        rotate_palette(pal2);
        transfer_b();
    });
    note_scene_start(35);
    clear_palette(pal2);
    decay_loop(40, transfer_b);
}

void ripple_and_closing_section() {
    note_scene_start(36);
    set_layer_a(buf3, pal0);
    ripple_setup();
    scene_start_order = music_order;
    clear_palette(pal0);
    set_timer_routine(tick_fade_0_4);
    order_loop_from_start(1, ripple_scene_frame);

    note_scene_start(37);
    set_timer_routine(idle_tick);
    order_loop(3, ripple_scene_frame);

    note_scene_start(38);
    set_timer_routine(tick_fade_0_4);
    clear_palette(pal4);
    counted_loop(64, ripple_scene_frame);

    note_scene_start(39);
    scene_start_order = music_order;
    load(54, hires_picture);
    load(55, pal0);
    set_timer_routine(idle_tick);
    picture_scene(3, false);

    note_scene_start(40);
    run_scene_3d_3();

    note_scene_start(41);
    std::memset(buf3, 0, buf3_size);
    scroll_target = buf3;
    scroll_font = buf1;
    scroll_pal = pal0;
    load(6, scroll_font);
    load(7, scroll_pal);
    set_layer_b(buf7, pal0);
    scroll_done = 0;
    scroll_row.store(0);
    set_timer_routine(scroll_tick);
    do {
        closing_rotozoom_frame(closing_rotozoom_state, buf3, buf7);
        scroller_frame();
        transfer_b();
        poll_music();
        present_stripes();
    } while (scroll_done != 1);

    // The picture stays while the music fades out.
    note_scene_start(42);
    for (loop_counter = 0; loop_counter < 64; ++loop_counter) {
        transfer_b();
        set_music_volume(static_cast<int>(63 - loop_counter) * 4);
        poll_music();
        present_stripes();
    }
}

} // namespace

void run_scene_table() {
    opening_effects();
    pulse_section();
    twirl_and_plasma_section();
    mapped_texture_section();
    ripple_and_closing_section();
}

} // namespace vantrose
