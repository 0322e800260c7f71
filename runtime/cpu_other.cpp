// The paths of a build for any other processor: the portable one alone.
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
};
extern const int cpu_path_count = 1;

} // namespace vantrose
