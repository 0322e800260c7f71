// One full frame of each rotozoomer and of the scroller, beside a plain copy of a frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "effects2d/layered_rotozoom.h"
#include "effects2d/pulse_rotozoom.h"
#include "effects2d/scroller.h"
#include "runtime/ticks.h"

namespace {

using namespace vantrose;

std::vector<uint8_t> bench_texture() {
    std::vector<uint8_t> t(80000);
    for (int k = 0; k < 65536; ++k) {
        const int u = k & 0xFF, v = k >> 8;
        t[k] = ((u >> 4) + (v >> 4)) % 3 == 0 ? 0 : static_cast<uint8_t>((u * 3) ^ (v * 5));
    }
    return t;
}

void BM_memcpy_frame(benchmark::State& state) {
    std::vector<uint8_t> from(64000, 7), to(64000);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), 64000);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 64000);
}
BENCHMARK(BM_memcpy_frame);

void BM_layered_rotozoom_frame(benchmark::State& state) {
    const std::vector<uint8_t> texture = bench_texture();
    std::vector<uint8_t> frame(65536);
    LayeredRotozoomState s;
    layered_rotozoom_init(s);
    for (auto _ : state) {
        layered_rotozoom_frame(s, texture.data(), frame.data());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 64000);
}
BENCHMARK(BM_layered_rotozoom_frame);

void BM_pulse_rotozoom_frame(benchmark::State& state) {
    const std::vector<uint8_t> texture = bench_texture();
    std::vector<uint8_t> frame(65536);
    PulseRotozoomState s;
    pulse_rotozoom_init(s);
    for (auto _ : state) {
        pulse_rotozoom_frame(s, texture.data(), frame.data());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 64000);
}
BENCHMARK(BM_pulse_rotozoom_frame);

void BM_closing_rotozoom_frame(benchmark::State& state) {
    const std::vector<uint8_t> texture = bench_texture();
    std::vector<uint8_t> frame(65536);
    ClosingRotozoomState s{0, 0};
    for (auto _ : state) {
        closing_rotozoom_frame(s, texture.data(), frame.data());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 64000);
}
BENCHMARK(BM_closing_rotozoom_frame);

// The texture move plus one glyph row; the text starts over when it ends, as a long show would
// keep it running.
void BM_scroller_frame(benchmark::State& state) {
    std::vector<uint8_t> texture(80000, 0), font(65536);
    for (size_t k = 0; k < font.size(); ++k) font[k] = static_cast<uint8_t>(k * 13 >> 4);
    scroll_target = texture.data();
    scroll_font = font.data();
    text_pos = 0;
    scroll_row.store(0);
    scroll_done = 0;
    for (auto _ : state) {
        scroller_frame();
        if (scroll_done != 0) {
            text_pos = 0;
            scroll_row.store(0);
            scroll_done = 0;
        }
        benchmark::DoNotOptimize(texture.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_scroller_frame);

} // namespace
