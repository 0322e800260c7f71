// --trace: a line per scene start, 3D phase change and archive load.
#include "capture/trace.h"

#include <cinttypes>
#include <cstdio>

#include "engine3d/model.h"
#include "runtime/buffers.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "shell/timer.h"

namespace vantrose {

namespace {

int current_scene = 0;

void trace_line(const char* what, int number) {
    if (!options.trace) return;
    std::fprintf(stderr, "%s %d frame %" PRIu64 " tick %" PRIu64 " order %d row %d\n", what, number,
                 frame_count(), tick_count(), music_order, music_row);
}

// The show's name for a load destination, so that a trace says which entry went where.
const char* destination_name(const uint8_t* p) {
    const struct {
        const uint8_t* pointer;
        const char* name;
    } named[] = {
        {buf0, "buf0"},
        {buf1, "buf1"},
        {buf2, "buf2"},
        {buf3, "buf3"},
        {buf4, "buf4"},
        {buf5, "buf5"},
        {buf6, "buf6"},
        {buf7, "buf7"},
        {pal0, "pal0"},
        {pal1, "pal1"},
        {pal2, "pal2"},
        {pal3, "pal3"},
        {pal4, "pal4"},
        {pal5, "pal5"},
        {pal6, "pal6"},
        {pal7, "pal7"},
        {hires_picture, "hires_picture"},
        {reinterpret_cast<const uint8_t*>(map_table), "map_table"},
        {texture_block, "texture0"},
        {texture_block ? texture_block + 65536 : nullptr, "texture1"},
        {texture_palettes, "texture_palette0"},
        {texture_palettes + 768, "texture_palette1"},
    };
    for (const auto& n : named)
        if (n.pointer && n.pointer == p) return n.name;
    return "other";
}

} // namespace

void note_load(uint32_t entry, const uint8_t* destination) {
    if (!options.trace) return;
    std::fprintf(stderr, "load %" PRIu32 " %s\n", entry, destination_name(destination));
}

void note_scene_start(int scene) {
    scene_skip_reached(scene);
    current_scene = scene;
    if (!skipping_scenes()) trace_line("scene", scene);
}

int scene_playing() {
    return current_scene;
}

void forget_scene() {
    current_scene = 0;
}

void note_phase_change(int phase) {
    if (!skipping_scenes()) trace_line("phase", phase);
}

} // namespace vantrose
