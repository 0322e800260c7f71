// The closing scroller: greetings written row by row into a texture that moves up.
#pragma once
#include <cstdint>

namespace vantrose {

extern uint8_t* scroll_target;
extern uint8_t* scroll_font;
extern uint8_t* scroll_pal;
extern uint32_t scroll_done;
extern uint32_t text_pos;
extern const uint8_t (&greetings_text)[794];

constexpr uint8_t end_of_line = 0xFE;
constexpr uint8_t end_of_text = 0xFF;

void scroller_frame();
void scroll_texture_up();
void draw_text_row();

// Writes glyph row r (0..30) of the line starting at `line` (at most `length` bytes) into the
// bottom row of scroll_target, from column 0 on, cut at column 255. Returns the byte that ends
// the line: end_of_line, or end_of_text (also when the bytes run out first).
uint8_t draw_line_row(const uint8_t* line, uint32_t length, uint32_t r);

} // namespace vantrose
