// Stand-in for the scene script until the runtime lands: test pictures through the three
// presentation paths, one pattern of music each, then the closing volume fade.
#include <atomic>
#include <string>

#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "runtime/script.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/timer.h"
#include "shell/trace.h"

namespace vantrose {

std::string archive_path = "vantrose.dat";
uint8_t* rgb_screen = nullptr;

namespace {

std::atomic<int32_t> standin_level{0};

void standin_tick() {
    const int32_t level = standin_level.load(std::memory_order_relaxed);
    if (level < 63) standin_level.store(level + 1, std::memory_order_relaxed);
}

void standin_idle() {}

// Until the music has moved on by a pattern: the order changed or the rows started over.
template <typename Frame> void until_music_moves(Frame frame) {
    poll_music();
    const int32_t order = music_order;
    int32_t row = music_row;
    for (uint32_t t = 0;; ++t) {
        frame(t);
        poll_music();
        if (music_order != order || music_row < row) return;
        row = music_row;
    }
}

void fill_stripes(uint8_t* stripes, uint32_t t, bool rings) {
    for (int g = 0; g < 133; ++g) {
        for (int x = 0; x < 320; ++x) {
            const uint32_t a =
                rings ? ((x - 160) * (x - 160) + (g - 66) * (g - 66) * 4) >> 6 : x + g;
            stripes[960 * g + x] = static_cast<uint8_t>((a + t) & 63);
            stripes[960 * g + 320 + x] = static_cast<uint8_t>(64 + ((x / 2 + 2 * g - t) & 63));
            stripes[960 * g + 640 + x] = static_cast<uint8_t>(128 + ((g * 3 + t / 2) & 63));
        }
    }
}

} // namespace

void run_show() {
    static uint8_t picture[640 * 480];
    static uint8_t palette[768];
    static uint8_t stripes[rgb_screen_size];
    rgb_screen = stripes;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool grid = x % 40 == 0 || y % 40 == 0;
            picture[y * 640 + x] = grid ? 255 : static_cast<uint8_t>(((x + y) / 5) & 127);
        }
    }
    set_timer_routine(standin_tick);
    start_timer();
    play_music();

    // A picture whose palette fades in on the ticks.
    note_scene_start(1);
    until_music_moves([&](uint32_t) {
        const int32_t level = standin_level.load(std::memory_order_relaxed);
        for (int i = 0; i < 128; ++i) {
            palette[3 * i + 0] = static_cast<uint8_t>(i / 2 * level / 63);
            palette[3 * i + 1] = static_cast<uint8_t>((63 - i / 2) * level / 63);
            palette[3 * i + 2] = static_cast<uint8_t>(32 * level / 63);
        }
        palette[765] = palette[766] = palette[767] = static_cast<uint8_t>(level);
        build_pal32(palette);
        present_hires(picture);
        present_frame();
    });

    note_scene_start(2);
    until_music_moves([&](uint32_t t) {
        fill_stripes(stripes, t, false);
        present_stripes();
    });

    note_scene_start(3);
    until_music_moves([&](uint32_t t) {
        fill_stripes(stripes, t, true);
        present_stripes_flat();
    });

    set_timer_routine(standin_idle);
    for (int i = 0; i < 64; ++i) {
        set_music_volume(252 - 4 * i);
        fill_stripes(stripes, static_cast<uint32_t>(i), false);
        poll_music();
        present_stripes();
    }
}

} // namespace vantrose
