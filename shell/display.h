// The screen: the three converters into true_color_frame, the title badge, and the frame hand-over.
#pragma once
#include <cstdint>

namespace vantrose {

constexpr int frame_width = 640;
constexpr int frame_rows = 480;
constexpr int frame_bytes = frame_width * frame_rows * 4;

// 640 x 480 pixels of blue, green, red, unused; the display shows the first screen_height rows.
extern uint8_t* true_color_frame;
// 256 entries of blue, green, red 8-bit intensities.
extern uint8_t pal32[256 * 3];
// Fixed 6-bit palette of the title badge (grey ramp at 224..255).
extern const uint8_t badge_palette[256 * 3];

bool create_display_object();
bool setup_display();
void release_display();

void build_pal32(const uint8_t* palette);
void present_hires(const uint8_t* picture);
void present_frame();
void present_stripes();
void present_stripes_flat();
void show_frame();
// Writes the frame presented last as vantrose-FRAME.png in the current folder (F12).
void save_presented_frame();

// Conversions only (no show_frame, no pump): the presentation routines above call these.
void convert_stripes();
void convert_stripes_flat();
void draw_title_badge();

} // namespace vantrose
