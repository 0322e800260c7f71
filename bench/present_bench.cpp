// The three converters against a memset of the 640 x 400 x 4 bytes they fill.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "runtime/buffers.h"
#include "shell/display.h"
#include "shell/startup.h"

using namespace vantrose;

namespace {

struct Buffers {
    std::vector<uint8_t> frame = std::vector<uint8_t>(frame_bytes, 0);
    std::vector<uint8_t> stripes = std::vector<uint8_t>(rgb_screen_size);
    std::vector<uint8_t> picture = std::vector<uint8_t>(640 * 480);
    Buffers() {
        for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = static_cast<uint8_t>(i * 13);
        for (size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<uint8_t>(i * 7 + i / 640);
        uint8_t palette[768];
        for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i & 63);
        build_pal32(palette);
        true_color_frame = frame.data();
        rgb_screen = stripes.data();
    }
};

Buffers& buffers() {
    static Buffers b;
    return b;
}

void BM_Memset640x400x4(benchmark::State& state) {
    Buffers& b = buffers();
    for (auto _ : state) {
        std::memset(b.frame.data(), static_cast<int>(state.iterations() & 1), 640 * 400 * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 640 * 400 * 4);
}
BENCHMARK(BM_Memset640x400x4);

void BM_PresentHires(benchmark::State& state) {
    Buffers& b = buffers();
    screen_height = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        present_hires(b.picture.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 640 * state.range(0) * 4);
    screen_height = 400;
}
BENCHMARK(BM_PresentHires)->Arg(400)->Arg(480);

void BM_ConvertStripes(benchmark::State& state) {
    buffers();
    for (auto _ : state) {
        convert_stripes();
        draw_title_badge();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 640 * 400 * 4);
}
BENCHMARK(BM_ConvertStripes);

void BM_ConvertStripesFlat(benchmark::State& state) {
    buffers();
    for (auto _ : state) {
        convert_stripes_flat();
        draw_title_badge();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 640 * 400 * 4);
}
BENCHMARK(BM_ConvertStripesFlat);

} // namespace
