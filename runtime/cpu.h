// The processor paths of the hot loops: one set of routines per path, chosen once at start-up.
#pragma once
#include <cstdint>
#include <vector>

namespace vantrose {

// The routines with a variant per path. Every variant gives the same bytes as the portable one.
struct CpuRoutines {
    // Output row k of `frame` (640 pixels) from row rows[k] of the 640-wide picture through pal32;
    // rows[k] < 0 leaves the row as it is. The fourth byte of each pixel is kept.
    void (*hires)(const uint8_t* picture, const int16_t* rows, int count, uint32_t* frame,
                  const uint8_t* pal32);
    // The staggered stripe dots of rows 1..398 below `top` (the stripe picture's first row).
    void (*stripes)(const uint8_t* stripes, uint32_t* top);
    // The flat dots of rows 0..398 from `top`; rows below `cleared` have zero fourth bytes.
    void (*stripes_flat)(const uint8_t* stripes, uint32_t* top, int cleared);
    // The three stripe transfer primitives into `screen`.
    void (*stripe_copy)(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
    void (*stripe_blend)(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
    void (*stripe_blend_keyed)(const uint8_t* frame, const uint8_t* palette, uint8_t* screen);
};

// A path of this build: its name, whether the processor runs it, its routines.
struct CpuPath {
    const char* name;
    bool (*supported)();
    CpuRoutines routines;
};

// The paths this build carries, portable first, best last (cpu_x86.cpp, cpu_wasm.cpp,
// cpu_other.cpp: the build picks one).
extern const CpuPath cpu_paths[];
extern const int cpu_path_count;

// The routines in use: the best path the processor has, or the one VANTROSE_CPU names.
extern CpuRoutines cpu;

// The name of the path in use.
const char* cpu_path();
// The paths this processor runs, portable first.
std::vector<const char*> supported_cpu_paths();
// Switches to the named path; false (and no change) if this processor or build lacks it.
bool use_cpu_path(const char* name);

} // namespace vantrose
