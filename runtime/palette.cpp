#include "runtime/palette.h"

#include "runtime/shared_byte.h"

namespace vantrose {

// Palette bytes are shared with the timer thread's fades: every access is a relaxed single-byte
// atomic, so a frame may see a fade half-way through a step but never a torn or racy byte.
namespace {

inline uint8_t load(const uint8_t& byte) {
    return load_shared_byte(byte);
}

inline void store(uint8_t& byte, uint8_t value) {
    store_shared_byte(byte, value);
}

} // namespace

void clear_palette(uint8_t* palette) {
    for (int i = 0; i < 768; ++i) store(palette[i], 0);
}

void rotate_palette(uint8_t* palette) {
    const uint8_t r = load(palette[0]), g = load(palette[1]), b = load(palette[2]);
    for (int i = 0; i < 765; ++i) store(palette[i], load(palette[i + 3]));
    store(palette[765], r);
    store(palette[766], g);
    store(palette[767], b);
}

void step_palette_toward(uint8_t* current, const uint8_t* target) {
    for (int i = 0; i < 768; ++i) {
        const uint8_t c = load(current[i]);
        const uint8_t t = load(target[i]);
        if (c < t)
            store(current[i], static_cast<uint8_t>(c + 1));
        else if (c > t)
            store(current[i], static_cast<uint8_t>(c - 1));
    }
}

} // namespace vantrose
