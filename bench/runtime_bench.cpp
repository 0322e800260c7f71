// Screen transfer speed beside a memcpy of the same stripe bytes.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <time.h>

#include <benchmark/benchmark.h>

#include "runtime/buffers.h"
#include "runtime/transfer.h"

using namespace vantrose;

namespace {

constexpr int stripe_pixels = 134 * 320;
constexpr size_t stripe_bytes = 3 * stripe_pixels; // bytes one primitive writes

struct Scene {
    std::vector<uint8_t> smooth, blocks, noise;
    Scene() {
        allocate_buffers();
        std::mt19937 random(1);
        smooth.resize(frame_size), blocks.resize(frame_size), noise.resize(frame_size);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const int i = 320 * y + x;
                smooth[i] = static_cast<uint8_t>(x + 2 * y);
                // Half of it transparent, in 16 x 16 blocks: a keyed layer over another.
                blocks[i] = ((x / 16 + y / 16) & 1) ? 0 : static_cast<uint8_t>(1 + (x ^ y) % 255);
                noise[i] = static_cast<uint8_t>(random());
            }
        for (uint8_t* palette : {pal0, pal1})
            for (size_t i = 0; i < palette_size; ++i)
                palette[i] = static_cast<uint8_t>(random() & 63);
    }
};

Scene& scene() {
    static Scene instance;
    return instance;
}

// CPU time of this thread: the machine is shared, wall time would count the neighbours' work.
double thread_ns() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return 1e9 * static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec);
}

// Best of several rounds: the memcpy the transfers are measured against.
double memcpy_ns(size_t bytes) {
    static std::vector<uint8_t> from(2 * stripe_bytes, 1), to(2 * stripe_bytes);
    double best = 1e30;
    for (int round = 0; round < 7; ++round) {
        const double start = thread_ns();
        for (int rep = 0; rep < 200; ++rep) {
            std::memcpy(to.data(), from.data(), bytes);
            benchmark::ClobberMemory();
        }
        best = std::min(best, (thread_ns() - start) / 200);
    }
    return best;
}

template <typename Body> void measure(benchmark::State& state, int passes, Body body) {
    scene();
    const double copy_ns = memcpy_ns(passes * stripe_bytes);
    const double start = thread_ns();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const double per_call = (thread_ns() - start) / static_cast<double>(state.iterations());
    state.counters["ns_per_pixel"] = per_call / (passes * stripe_pixels);
    state.counters["x_memcpy"] = per_call / copy_ns;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * passes * stripe_bytes);
}

void BM_memcpy_stripe(benchmark::State& state) {
    std::vector<uint8_t> from(stripe_bytes, 1), to(stripe_bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), stripe_bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * stripe_bytes);
}

void BM_stripe_copy(benchmark::State& state) {
    measure(state, 1, [] { stripe_copy(scene().smooth.data(), pal0); });
}

void BM_stripe_blend(benchmark::State& state) {
    measure(state, 1, [] { stripe_blend(scene().smooth.data(), pal0); });
}

void BM_stripe_blend_noise(benchmark::State& state) {
    measure(state, 1, [] { stripe_blend(scene().noise.data(), pal0); });
}

void BM_stripe_blend_keyed(benchmark::State& state) {
    measure(state, 1, [] { stripe_blend_keyed(scene().blocks.data(), pal0); });
}

void BM_stripe_blend_keyed_noise(benchmark::State& state) {
    measure(state, 1, [] { stripe_blend_keyed(scene().noise.data(), pal0); });
}

void BM_transfer_a_b(benchmark::State& state) {
    layer_a_frame = scene().smooth.data(), layer_a_pal = pal0;
    layer_b_frame = scene().noise.data(), layer_b_pal = pal1;
    measure(state, 2, [] { transfer_a_b(); });
}

} // namespace

BENCHMARK(BM_memcpy_stripe);
BENCHMARK(BM_stripe_copy);
BENCHMARK(BM_stripe_blend);
BENCHMARK(BM_stripe_blend_noise);
BENCHMARK(BM_stripe_blend_keyed);
BENCHMARK(BM_stripe_blend_keyed_noise);
BENCHMARK(BM_transfer_a_b);
