// The shared work buffers and palettes of the show.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vantrose {

constexpr size_t work_buffer_size = 65536;
constexpr size_t buf3_size = 80000;
constexpr size_t palette_size = 768;
constexpr size_t rgb_screen_size = 130000;
constexpr size_t hires_picture_size = 640 * 480;
constexpr size_t frame_size = 320 * 200;

extern uint8_t *buf0, *buf1, *buf2, *buf3, *buf4, *buf5, *buf6, *buf7;
extern uint8_t *pal0, *pal1, *pal2, *pal3, *pal4, *pal5, *pal6, *pal7;
extern uint8_t* rgb_screen;
extern uint8_t* hires_picture;

// 320 x 200 little-endian texel positions (low byte u, high byte v), from entries 24 and 35.
extern uint16_t map_table[320 * 200];

// Size of the buffer a pointer of the set above points at (0 for anything else): load_entry's
// bound.
size_t buffer_capacity(const uint8_t* buffer);

// The allocator allocate_buffers calls (std::malloc); tests replace it to make allocation fail.
extern void* (*buffer_allocator)(size_t size);

void allocate_buffers();
void free_buffers();
[[noreturn]] void out_of_memory_exit();

} // namespace vantrose
