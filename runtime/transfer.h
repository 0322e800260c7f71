// Screen transfer: work frames resolved through their palettes into the stripe image.
#pragma once
#include <cstdint>

namespace vantrose {

extern uint8_t* layer_a_frame;
extern uint8_t* layer_a_pal;
extern uint8_t* layer_b_frame;
extern uint8_t* layer_b_pal;

void stripe_copy(const uint8_t* frame, const uint8_t* palette);
void stripe_blend(const uint8_t* frame, const uint8_t* palette);
void stripe_blend_keyed(const uint8_t* frame, const uint8_t* palette);

void transfer_a_b();
void transfer_b();
void transfer_a_over_b();
void transfer_b_over_a();
void transfer_a_copy();

} // namespace vantrose
