// Relaxed single-byte atomics for the palette bytes that the tick routines and the frames share.
#pragma once
#include <cstdint>

namespace vantrose {

// The compiler's atomic builtins: one plain byte load or store on the machine, race-free for the
// thread sanitizer, and available where the C++ library has no std::atomic_ref.
inline uint8_t load_shared_byte(const uint8_t& byte) {
    return __atomic_load_n(&byte, __ATOMIC_RELAXED);
}

inline void store_shared_byte(uint8_t& byte, uint8_t value) {
    __atomic_store_n(&byte, value, __ATOMIC_RELAXED);
}

} // namespace vantrose
