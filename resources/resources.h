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

// The dialogs' 8-point sans-serif as bitmaps, for the characters 32..126.
constexpr int dialog_font_first = 32, dialog_font_last = 126;
struct DialogGlyph {
    int8_t left, top; // the ink's first column right of the pen, first row above the baseline
    uint8_t w, h;     // the ink's size
    uint8_t advance;  // the pen's step in pixels
    uint32_t offset;  // the ink's first byte in the coverage, row-major
};
struct DialogFont {
    int height, ascent; // a line's rows, and the baseline's row in it
    const DialogGlyph* glyphs;
    const uint8_t* coverage; // 0 paper .. 255 ink
};
extern const DialogFont dialog_font;         // the text of buttons and statics
extern const DialogFont dialog_caption_font; // its bold face, for captions

} // namespace vantrose
