// The one place that picks the processor path: the best one supported, unless VANTROSE_CPU names
// another.
#include "runtime/cpu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vantrose {

namespace {

const CpuPath* find_path(const char* name) {
    for (int i = 0; i < cpu_path_count; ++i) {
        if (std::strcmp(cpu_paths[i].name, name) == 0 && cpu_paths[i].supported())
            return &cpu_paths[i];
    }
    return nullptr;
}

const CpuPath* best_path() {
    for (int i = cpu_path_count - 1; i > 0; --i) {
        if (cpu_paths[i].supported()) return &cpu_paths[i];
    }
    return &cpu_paths[0];
}

// For tests, benchmarks, and processors that report a feature they do not run well.
const CpuPath* start_path() {
    const char* forced = std::getenv("VANTROSE_CPU");
    if (!forced || !*forced) return best_path();
    if (const CpuPath* path = find_path(forced)) return path;
    std::fprintf(stderr, "vantrose: VANTROSE_CPU=%s is not a path of this processor (", forced);
    for (const char* name : supported_cpu_paths()) std::fprintf(stderr, " %s", name);
    std::fprintf(stderr, " ); using %s\n", best_path()->name);
    return best_path();
}

const CpuPath* current = start_path();

} // namespace

CpuRoutines cpu = current->routines;

const char* cpu_path() {
    return current->name;
}

std::vector<const char*> supported_cpu_paths() {
    std::vector<const char*> names;
    for (int i = 0; i < cpu_path_count; ++i) {
        if (cpu_paths[i].supported()) names.push_back(cpu_paths[i].name);
    }
    return names;
}

bool use_cpu_path(const char* name) {
    const CpuPath* path = find_path(name);
    if (!path) return false;
    current = path;
    cpu = path->routines;
    return true;
}

} // namespace vantrose
