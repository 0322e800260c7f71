#include "runtime/buffers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/startup.h"

namespace vantrose {

uint8_t *buf0, *buf1, *buf2, *buf3, *buf4, *buf5, *buf6, *buf7;
uint8_t *pal0, *pal1, *pal2, *pal3, *pal4, *pal5, *pal6, *pal7;
uint8_t* rgb_screen;
uint8_t* hires_picture;
uint16_t map_table[320 * 200];

namespace {
void* system_allocate(size_t size) {
    return std::malloc(size);
}
} // namespace

void* (*buffer_allocator)(size_t size) = system_allocate;

namespace {

struct BufferSlot {
    uint8_t** pointer;
    size_t size;
};

// Allocation order.
const BufferSlot slots[] = {
    {&buf0, work_buffer_size}, {&buf1, work_buffer_size},      {&buf2, work_buffer_size},
    {&buf3, buf3_size},        {&buf4, work_buffer_size},      {&buf5, work_buffer_size},
    {&buf6, work_buffer_size}, {&buf7, work_buffer_size},      {&pal0, palette_size},
    {&pal1, palette_size},     {&pal2, palette_size},          {&pal3, palette_size},
    {&pal4, palette_size},     {&pal5, palette_size},          {&pal6, palette_size},
    {&pal7, palette_size},     {&rgb_screen, rgb_screen_size}, {&hires_picture, hires_picture_size},
};

} // namespace

size_t buffer_capacity(const uint8_t* buffer) {
    if (buffer == nullptr) return 0;
    if (buffer == reinterpret_cast<const uint8_t*>(map_table)) return sizeof(map_table);
    for (const BufferSlot& slot : slots)
        if (*slot.pointer == buffer) return slot.size;
    return 0;
}

void allocate_buffers() {
    for (const BufferSlot& slot : slots) {
        *slot.pointer = static_cast<uint8_t*>(buffer_allocator(slot.size));
        if (*slot.pointer == nullptr) out_of_memory_exit();
    }
    for (const BufferSlot& slot : slots) std::memset(*slot.pointer, 0, slot.size);
}

// Freed pointers are reset: a later free_buffers (out_of_memory_exit after a second
// allocate_buffers) or a stray reader then meets null, never a freed block.
void free_buffers() {
    uint8_t** order[] = {&buf0, &buf1, &buf2,       &buf3,          &buf4, &buf5,
                         &buf6, &buf7, &rgb_screen, &hires_picture, &pal6, &pal7,
                         &pal0, &pal1, &pal2,       &pal3,          &pal4, &pal5};
    for (uint8_t** buffer : order) {
        std::free(*buffer);
        *buffer = nullptr;
    }
}

// The timer thread is joined and the music closed before the buffers go and the lines appear.
void out_of_memory_exit() {
    end_process(0, "Memory allocation error... 4 Megabytes of Free Memory Required!\n"
                   "Try to remove resident programs like disk caches, etc...\n");
}

} // namespace vantrose
