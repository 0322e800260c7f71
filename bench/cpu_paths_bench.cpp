// The processor paths' routines beside a memset or memcpy of the same bytes, each path in turn,
// with every path's bytes checked against the portable path's. Built natively
// (vantrose_cpu_bench) and for the web (node build/wasm/cpu_paths_bench.js, or in a browser
// build/wasm/cpu_paths_bench.html).
// Usage: vantrose_cpu_bench [rounds]   (prints one table per path, ratios of CPU times)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runtime/cpu.h"

using namespace vantrose;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int stripe_pixels = 134 * 320;
constexpr size_t stripe_bytes = 3 * stripe_pixels; // bytes one transfer primitive writes
constexpr size_t screen_bytes = 130000;
constexpr size_t frame_pixels = 640 * 480;

Bytes random_bytes(size_t size, uint32_t seed, unsigned limit = 255) {
    std::mt19937 random(seed);
    Bytes b(size);
    for (uint8_t& x : b) x = static_cast<uint8_t>(random() % (limit + 1));
    return b;
}

struct Inputs {
    Bytes picture = random_bytes(frame_pixels, 1), pal32 = random_bytes(768, 2);
    Bytes stripes = random_bytes(screen_bytes, 3), palette = random_bytes(768, 4, 63);
    Bytes noise = random_bytes(320 * 200, 5), smooth = Bytes(320 * 200), blocks = smooth;
    int16_t rows400[400], rows480[480];
    Inputs() {
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 320; ++x) {
                smooth[320 * y + x] = static_cast<uint8_t>(x + 2 * y);
                // Half of it transparent, in 16 x 16 blocks: a keyed layer over another.
                blocks[320 * y + x] =
                    ((x / 16 + y / 16) & 1) ? 0 : static_cast<uint8_t>(1 + (x ^ y) % 255);
            }
        }
        // The 400-line mode drops 25 rows in every 150.
        for (int k = 0, y = 0, accumulator = 0; k < 400; ++k) {
            rows400[k] = static_cast<int16_t>(y);
            accumulator += 6;
            y += (accumulator / 5) % 5 == 4 ? 2 : 1;
        }
        for (int k = 0; k < 480; ++k) rows480[k] = static_cast<int16_t>(k);
    }
};

double cpu_us() {
    return 1e6 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double wall_us() {
    return std::chrono::duration<double, std::micro>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time where the processor clock is fine (the machine is shared: wall time would count the
// neighbours' work); wall time where it counts in milliseconds (WebAssembly).
double (*now_us)() = [] {
    const double start = cpu_us();
    double next = start;
    while (next == start) next = cpu_us();
    return next - start < 100 ? cpu_us : wall_us;
}();

// Best time of one call, in microseconds, over `rounds` batches of about 5 ms.
double best_us(const std::function<void()>& body, int rounds) {
    int reps = 1;
    for (;;) {
        const double start = now_us();
        for (int i = 0; i < reps; ++i) body();
        if (now_us() - start > 5000 || reps > 1 << 20) break;
        reps *= 2;
    }
    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        const double start = now_us();
        for (int i = 0; i < reps; ++i) body();
        best = std::min(best, (now_us() - start) / reps);
    }
    return best;
}

struct Routine {
    const char* name;
    const char* reference; // the memset or memcpy it is measured against
    std::function<void()> body;
    Bytes* output;
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    Inputs in;
    Bytes frame(frame_pixels * 4), screen(screen_bytes), from(2 * stripe_bytes, 1),
        to(2 * stripe_bytes);
    uint32_t* pixels = reinterpret_cast<uint32_t*>(frame.data());
    const uint8_t* pal = in.palette.data();
    uint8_t* rgb = screen.data();
    auto frame_fill = [&](size_t bytes) {
        return [&frame, bytes] { std::memset(frame.data(), 7, bytes); };
    };
    auto copy = [&](size_t bytes) {
        return [&from, &to, bytes] { std::memcpy(to.data(), from.data(), bytes); };
    };
    const std::vector<Routine> references = {
        {"memset 640x400x4", "", frame_fill(640 * 400 * 4), nullptr},
        {"memset 640x480x4", "", frame_fill(640 * 480 * 4), nullptr},
        {"memcpy stripes", "", copy(stripe_bytes), nullptr},
        {"memcpy stripes x2", "", copy(2 * stripe_bytes), nullptr},
    };
    const std::vector<Routine> routines = {
        {"present_hires 400", "memset 640x400x4",
         [&] { cpu.hires(in.picture.data(), in.rows400, 400, pixels, in.pal32.data()); }, &frame},
        {"present_hires 480", "memset 640x480x4",
         [&] { cpu.hires(in.picture.data(), in.rows480, 480, pixels, in.pal32.data()); }, &frame},
        {"stripes", "memset 640x400x4", [&] { cpu.stripes(in.stripes.data(), pixels); }, &frame},
        {"stripes_flat", "memset 640x400x4",
         [&] { cpu.stripes_flat(in.stripes.data(), pixels, 400); }, &frame},
        {"stripe_copy", "memcpy stripes", [&] { cpu.stripe_copy(in.smooth.data(), pal, rgb); },
         &screen},
        {"stripe_blend", "memcpy stripes", [&] { cpu.stripe_blend(in.smooth.data(), pal, rgb); },
         &screen},
        {"stripe_blend noise", "memcpy stripes",
         [&] { cpu.stripe_blend(in.noise.data(), pal, rgb); }, &screen},
        {"stripe_blend_keyed", "memcpy stripes",
         [&] { cpu.stripe_blend_keyed(in.blocks.data(), pal, rgb); }, &screen},
        {"stripe_blend_keyed noise", "memcpy stripes",
         [&] { cpu.stripe_blend_keyed(in.noise.data(), pal, rgb); }, &screen},
        {"transfer_a_b", "memcpy stripes x2",
         [&] {
             cpu.stripe_blend(in.smooth.data(), pal, rgb);
             cpu.stripe_blend(in.noise.data(), in.pal32.data(), rgb);
         },
         &screen},
    };
    // One call of each routine from the same start on the portable path: the bytes to match.
    std::vector<Bytes> want;
    use_cpu_path("portable");
    for (const Routine& r : routines) {
        std::fill(frame.begin(), frame.end(), 0x5A), screen = in.stripes, rgb = screen.data();
        r.body();
        want.push_back(*r.output);
    }
    int failures = 0;
    std::printf("timed by %s\n\n", now_us == cpu_us ? "CPU time" : "wall time");
    for (const char* path : supported_cpu_paths()) {
        use_cpu_path(path);
        std::printf("path %s\n%-26s %10s %8s\n", path, "routine", "us", "ratio");
        std::vector<std::pair<std::string, double>> measured;
        for (const Routine& r : references) {
            measured.emplace_back(r.name, best_us(r.body, rounds));
            std::printf("%-26s %10.1f\n", r.name, measured.back().second);
        }
        for (size_t i = 0; i < routines.size(); ++i) {
            const Routine& r = routines[i];
            std::fill(frame.begin(), frame.end(), 0x5A), screen = in.stripes, rgb = screen.data();
            r.body();
            const bool same = *r.output == want[i];
            failures += !same;
            const double us = best_us(r.body, rounds);
            double base = 0;
            for (const auto& [name, t] : measured) {
                if (name == r.reference) base = t;
            }
            std::printf("%-26s %10.1f %7.1fx %s%s\n", r.name, us, us / base, r.reference,
                        same ? "" : "  BYTES DIFFER FROM THE PORTABLE PATH");
        }
        std::printf("\n");
    }
    return failures ? 1 : 0;
}
