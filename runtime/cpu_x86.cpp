// The paths of an x86-64 build: portable, SSE2 (every such processor), AVX2, AVX-512 VBMI.
#include "runtime/cpu.h"
#include "runtime/transfer_paths.h"
#include "shell/present_paths.h"

namespace vantrose {

namespace {

bool always() {
    return true;
}

// These also run before main (the path is chosen during static initialisation).
bool avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool vbmi() {
    __builtin_cpu_init();
    return avx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

} // namespace

extern const CpuPath cpu_paths[] = {
    {"portable",
     always,
     {hires_portable, stripes_portable, stripes_flat_portable, stripe_copy_portable,
      stripe_blend_portable, stripe_blend_keyed_portable}},
    {"sse2",
     always,
     {hires_portable, stripes_sse2, stripes_flat_sse2, stripe_copy_portable, stripe_blend_portable,
      stripe_blend_keyed_portable}},
    {"avx2",
     avx2,
     {hires_avx2, stripes_avx2, stripes_flat_avx2, stripe_copy_avx2, stripe_blend_avx2,
      stripe_blend_keyed_avx2}},
    {"vbmi",
     vbmi,
     {hires_vbmi, stripes_avx2, stripes_flat_avx2, stripe_copy_avx2, stripe_blend_avx2,
      stripe_blend_keyed_avx2}},
};
extern const int cpu_path_count = sizeof cpu_paths / sizeof cpu_paths[0];

} // namespace vantrose
