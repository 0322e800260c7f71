// Placeholders for the shell's routines, so the other subsystems link and test before it lands.
// Removed when the shell lands.
#include <atomic>
#include <cstdint>

#include "shell/display.h"
#include "shell/music.h"
#include "shell/timer.h"
#include "shell/trace.h"

namespace vantrose {

int32_t music_order = 0;
int32_t music_row = 0;
std::atomic<TickRoutine> timer_slot{nullptr};
uint8_t* true_color_frame = nullptr;
uint8_t pal32[256 * 3];
const uint8_t badge_palette[256 * 3] = {};

void sound_init() {}
void sound_close() {}
void load_music() {}
void play_music() {}
void poll_music() {}
void stop_music() {}
void set_music_volume(int) {}
void set_timer_routine(TickRoutine routine) {
    timer_slot.store(routine, std::memory_order_release);
}
void start_timer() {}
void timer_callback() {}
void stop_timer() {}
uint64_t tick_count() {
    return 0;
}
uint64_t frame_count() {
    return 0;
}
void note_scene_start(int) {}
void note_phase_change(int) {}
bool create_display_object() {
    return true;
}
bool setup_display() {
    return true;
}
void release_display() {}
void build_pal32(const uint8_t*) {}
void present_hires(const uint8_t*) {}
void present_frame() {}
void present_stripes() {}
void present_stripes_flat() {}
void show_frame() {}
void convert_stripes() {}
void convert_stripes_flat() {}
void draw_title_badge() {}

} // namespace vantrose
