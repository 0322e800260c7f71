// The screen: the converters into true_color_frame (their loops per processor path in
// present_*.cpp), the title badge, and the frame hand-over.
#include "shell/display.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "capture/dump.h"
#include "capture/stats.h"
#include "capture/trace.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "runtime/buffers.h"
#include "runtime/cpu.h"
#include "shell/clock.h"
#include "shell/present_paths.h"
#include "shell/startup.h"

namespace vantrose {

uint8_t* true_color_frame = nullptr;
uint8_t pal32[256 * 3] = {};

// Grey ramp at 224..255 (red = green = blue); the badge uses 229..251.
// clang-format off
const uint8_t badge_palette[256 * 3] = {
#define G(v) v, v, v
    // 0..223: not used by the badge
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 224..255
    G(63), G(61), G(58), G(56), G(54), G(52), G(50), G(48),
    G(46), G(44), G(41), G(39), G(37), G(35), G(33), G(31),
    G(29), G(27), G(24), G(22), G(20), G(18), G(16), G(14),
    G(12), G(10), G(7), G(5), G(3), G(1), G(0), G(63),
#undef G
};
// clang-format on
static_assert(sizeof(badge_palette) == 768);

namespace {

constexpr int groups = stripe_groups_shown;
constexpr size_t flat_clear_bytes = 1024000;

uint32_t* frame_row(int row) {
    return reinterpret_cast<uint32_t*>(true_color_frame) + static_cast<size_t>(row) * frame_width;
}

// The first and last rows of the stripe picture, where only one half of each cell is written.
void stripe_half_row(uint32_t* out, const uint8_t* source, int shift, int first_column) {
    for (int x = 0; x < stripe_cells; ++x) {
        const uint32_t v = dot(source[2 * x], shift);
        put_colours(out[4 * x + first_column], v);
        put_colours(out[4 * x + first_column + 1], v);
    }
}

int stripe_base() {
    return screen_height == 480 ? 40 : 0;
}

// While a scene skip runs frames unseen, only the edge rows are converted. Every converter writes
// rows base + 1 .. base + 398 whole (the badge lies inside them too), so the next frame shown
// covers those; the rows around them keep what earlier frames left there: the stripe path's two
// half rows, and in the 480-line mode the borders that only pictures and the flat path's
// clearing reach.
bool edge_row(int row) {
    const int base = stripe_base();
    return row <= base || row >= base + 3 * groups;
}

void ddraw_error(const char* text) {
    std::fprintf(stderr, "DDRAW ERROR: %s\n", text);
    platform->message_box("DDRAW ERROR", text);
}

bool setup_failed(const char* text) {
    ddraw_error(text);
    platform->destroy_window();
    return false;
}

} // namespace

void build_pal32(const uint8_t* palette) {
    for (int i = 0; i < 256; ++i) {
        pal32[3 * i + 0] = static_cast<uint8_t>(palette[3 * i + 2] << 2);
        pal32[3 * i + 1] = static_cast<uint8_t>(palette[3 * i + 1] << 2);
        pal32[3 * i + 2] = static_cast<uint8_t>(palette[3 * i + 0] << 2);
    }
}

void present_hires(const uint8_t* picture) {
    const bool edges_only = skipping_scenes();
    int16_t rows[frame_rows];
    if (screen_height == 480) {
        for (int y = 0; y < frame_rows; ++y) rows[y] = static_cast<int16_t>(y);
    } else {
        // 400 lines from 480: drop 25 rows in every 150.
        int y = 0;
        uint32_t accumulator = 0;
        for (int k = 0; k < 400; ++k) {
            rows[k] = static_cast<int16_t>(y);
            accumulator += 6;
            y += (accumulator / 5) % 5 == 4 ? 2 : 1;
        }
    }
    if (edges_only) {
        for (int k = 0; k < screen_height; ++k) {
            if (!edge_row(k)) rows[k] = -1;
        }
    }
    cpu.hires(picture, rows, screen_height, frame_row(0), pal32);
}

void convert_stripes() {
    const int base = stripe_base();
    const uint8_t* last_red = rgb_screen + 3 * (groups - 1) * stripe_pitch;
    if (!skipping_scenes()) cpu.stripes(rgb_screen, frame_row(base));
    // The half rows: the blue of the first group, the red of the last one a row below it. While
    // a scene skip runs frames unseen they are all of a frame that a later frame may leave in
    // place.
    stripe_half_row(frame_row(base), rgb_screen + 2 * stripe_pitch, blue_dot, 0);
    stripe_half_row(frame_row(base + 3 * groups), last_red, red_dot, 2);
}

void convert_stripes_flat() {
    const int base = stripe_base();
    // Bytes 0..1,023,999 are cleared and then converted over: the rows of that range that the
    // conversion covers get their zeros from the conversion itself.
    for (int row = 0; row < 400; ++row) {
        if (row < base || row >= base + 3 * groups) {
            std::memset(frame_row(row), 0, frame_width * 4);
        }
    }
    static_assert(flat_clear_bytes == 400 * frame_width * 4);
    if (skipping_scenes()) {
        // The first row alone: a later frame covers the others.
        uint32_t* out = frame_row(base);
        for (int x = 0; x < frame_width; ++x)
            out[x] = dot(rgb_screen[2 * stripe_pitch + x / 4 * 2], green_dot);
        return;
    }
    cpu.stripes_flat(rgb_screen, frame_row(base), 400 - base);
}

void draw_title_badge() {
    const int top = stripe_base() + 20;
    for (int j = 0; j < title_badge_height; ++j) {
        uint8_t* out = true_color_frame + (static_cast<size_t>(top + j) * frame_width + 400) * 4;
        const uint8_t* source = title_badge + j * title_badge_width;
        for (int i = 0; i < title_badge_width; ++i, out += 8) {
            const uint8_t v = source[i];
            if (v == 0) continue;
            const uint8_t grey = static_cast<uint8_t>(badge_palette[3 * v] << 2);
            out[0] = out[1] = out[2] = grey;
            out[4] = out[5] = out[6] = grey;
        }
    }
}

void present_frame() {
    show_frame();
    pump_messages();
}

void present_stripes() {
    convert_stripes();
    if (!skipping_scenes()) draw_title_badge();
    show_frame();
    pump_messages();
}

void present_stripes_flat() {
    convert_stripes_flat();
    if (!skipping_scenes()) draw_title_badge();
    show_frame();
    pump_messages();
}

void show_frame() {
    if (skipping_scenes()) {
        // Frames that a scene skip runs unseen are neither paced nor shown.
        frame_presented();
        return;
    }
    pace_frame();
    if (app_active != 0) {
        platform->present(true_color_frame, screen_height);
        note_presented();
    }
    frame_presented();
}

void save_presented_frame() {
    if (frame_count() == 0 || !true_color_frame) return;
    char name[40];
    std::snprintf(name, sizeof name, "vantrose-%06" PRIu64 ".png", frame_count() - 1);
    if (platform->offer_frame(true_color_frame, screen_height, name)) return;
    std::error_code failed;
    const std::filesystem::path path = std::filesystem::absolute(name, failed);
    if (write_png(name, true_color_frame, screen_height))
        std::fprintf(stderr, "vantrose: frame written to %s\n", path.string().c_str());
    else
        std::fprintf(stderr, "vantrose: cannot write %s\n", path.string().c_str());
}

bool create_display_object() {
    if (!platform->create_display_object()) {
        ddraw_error("DirectDrawCreate error");
        return false;
    }
    return true;
}

bool setup_display() {
    at_shutdown([](bool) {
        if (!display_usable()) return;
        release_display();
        platform->show_cursor(true);
    });
    platform->show_cursor(false);
    // A window that failed to open fails the next step, as a null window would.
    const bool have_window = platform->create_window(screen_height);
    if (!have_window || !platform->set_cooperative_level()) {
        return setup_failed("SetCooperativeLevel error");
    }
    if (!platform->set_display_mode(screen_height)) return setup_failed("SetDisplayMode error");
    if (!platform->create_surface(screen_height)) return setup_failed("CreateSurface error");
    if (!platform->get_back_buffer()) return setup_failed("GetAttachedSurface error");
    return true;
}

void release_display() {
    platform->release_display();
}

} // namespace vantrose
