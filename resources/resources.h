// Pictures and texts compiled into the program, made by the content generator.
#pragma once
#include <cstdint>

namespace vantrose {

constexpr int title_badge_width = 110;
constexpr int title_badge_height = 25;
constexpr int dialog_picture_width = 213;
constexpr int dialog_picture_height = 133;

// 110 x 25, row-major: 0 transparent, 229..251 entries of badge_palette.
extern const uint8_t title_badge[title_badge_width * title_badge_height];
// 213 x 133, 3 bytes a pixel, red, green, blue, top row first.
extern const uint8_t dialog_picture[dialog_picture_width * dialog_picture_height * 3];
// The About box's three credit lines.
extern const char* const about_credits[3];

} // namespace vantrose
