// Per-frame cost of the mapping-table effects, each beside a memcpy of one 64000-byte frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "effects2d/mapped_texture.h"
#include "effects2d/plasma.h"
#include "effects2d/radial_tables.h"
#include "effects2d/ripple.h"
#include "effects2d/twirl.h"
#include "runtime/buffers.h"
#include "runtime/ticks.h"

namespace {

using namespace vantrose;

void fill(uint8_t* bytes, size_t size, uint32_t seed) {
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<uint8_t>(seed >> 24);
    }
}

struct Inputs {
    std::vector<uint8_t> a = std::vector<uint8_t>(65536);
    std::vector<uint8_t> b = std::vector<uint8_t>(65536);
    std::vector<uint8_t> c = std::vector<uint8_t>(65536);
    std::vector<uint8_t> frame = std::vector<uint8_t>(80000);

    Inputs() {
        build_radial_tables();
        fill(a.data(), a.size(), 1);
        fill(b.data(), b.size(), 2);
        fill(c.data(), c.size(), 3);
        fill(reinterpret_cast<uint8_t*>(map_table), sizeof(map_table), 4);
        twirl_source = a.data();
        twirl_target = frame.data();
        map_source = a.data();
        map_target = frame.data();
        ripple_pulse_map = a.data();
        ripple_wave_map = b.data();
        ripple_picture = c.data();
        ripple_target = frame.data();
    }
};

Inputs& inputs() {
    static Inputs instance;
    return instance;
}

void BM_maps_memcpy_frame(benchmark::State& state) {
    Inputs& in = inputs();
    for (auto _ : state) {
        std::memcpy(in.frame.data(), in.a.data(), 64000);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 64000);
}

void BM_twirl_frame(benchmark::State& state) {
    inputs();
    int32_t strength = 0;
    for (auto _ : state) {
        // A different strength every frame, the whole range over the run.
        strength = strength >= 32766 ? -32766 : strength + 97;
        wave_angle.store(strength, std::memory_order_relaxed);
        twirl_frame();
        benchmark::ClobberMemory();
    }
}

template <void (*Frame)()> void BM_frame(benchmark::State& state) {
    inputs();
    for (auto _ : state) {
        Frame();
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_maps_memcpy_frame);
BENCHMARK(BM_twirl_frame);
BENCHMARK(BM_frame<plasma_shear_frame>)->Name("BM_plasma_shear_frame");
BENCHMARK(BM_frame<plasma_fold_frame>)->Name("BM_plasma_fold_frame");
BENCHMARK(BM_frame<plasma_displace_frame>)->Name("BM_plasma_displace_frame");
BENCHMARK(BM_frame<map_drift_frame>)->Name("BM_map_drift_frame");
BENCHMARK(BM_frame<map_swell_frame>)->Name("BM_map_swell_frame");
BENCHMARK(BM_frame<map_wave_frame>)->Name("BM_map_wave_frame");
BENCHMARK(BM_frame<ripple_frame>)->Name("BM_ripple_frame");

} // namespace
