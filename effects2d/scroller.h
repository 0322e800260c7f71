// The closing scroller: greetings written row by row into a texture that moves up.
#pragma once
#include <cstdint>

namespace vantrose {

extern uint8_t* scroll_target;
extern uint8_t* scroll_font;
extern uint8_t* scroll_pal;
extern uint32_t scroll_done;
extern uint32_t text_pos;
extern const uint8_t greetings_text[794];

void scroller_frame();
void scroll_texture_up();
void draw_text_row();

} // namespace vantrose
