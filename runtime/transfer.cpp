// Screen transfer: the five transfer routines over the processor path's stripe primitives.
#include "runtime/transfer.h"

#include "runtime/buffers.h"
#include "runtime/cpu.h"

namespace vantrose {

uint8_t* layer_a_frame;
uint8_t* layer_a_pal;
uint8_t* layer_b_frame;
uint8_t* layer_b_pal;

void stripe_copy(const uint8_t* frame, const uint8_t* palette) {
    cpu.stripe_copy(frame, palette, rgb_screen);
}

void stripe_blend(const uint8_t* frame, const uint8_t* palette) {
    cpu.stripe_blend(frame, palette, rgb_screen);
}

void stripe_blend_keyed(const uint8_t* frame, const uint8_t* palette) {
    cpu.stripe_blend_keyed(frame, palette, rgb_screen);
}

void transfer_a_b() {
    stripe_blend(layer_a_frame, layer_a_pal);
    stripe_blend(layer_b_frame, layer_b_pal);
}

void transfer_b() {
    stripe_blend(layer_b_frame, layer_b_pal);
}

void transfer_a_over_b() {
    stripe_blend(layer_b_frame, layer_b_pal);
    stripe_blend_keyed(layer_a_frame, layer_a_pal);
}

void transfer_b_over_a() {
    stripe_blend_keyed(layer_b_frame, layer_b_pal);
    stripe_blend(layer_a_frame, layer_a_pal);
}

void transfer_a_copy() {
    stripe_copy(layer_a_frame, layer_a_pal);
}

} // namespace vantrose
