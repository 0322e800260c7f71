// The paths of the WebAssembly build: portable, and SIMD128, which every current browser runs.
#include "runtime/cpu.h"
#include "runtime/transfer_paths.h"
#include "shell/present_paths.h"

namespace vantrose {

namespace {

bool always() {
    return true;
}

} // namespace

extern const CpuPath cpu_paths[] = {
    {"portable",
     always,
     {hires_portable, stripes_portable, stripes_flat_portable, stripe_copy_portable,
      stripe_blend_portable, stripe_blend_keyed_portable}},
    {"simd128",
     always,
     {hires_simd128, stripes_simd128, stripes_flat_simd128, stripe_copy_simd128,
      stripe_blend_simd128, stripe_blend_keyed_simd128}},
};
extern const int cpu_path_count = sizeof cpu_paths / sizeof cpu_paths[0];

} // namespace vantrose
