// One 3D frame of each scene at a representative moment, with a memset of the frame beside it.
// With VANTROSE_PNG_DIR set, each scene's frame is also written there as a PNG.
#include <benchmark/benchmark.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine3d/frame.h"
#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "scenes3d/floor_balls.h"
#include "scenes3d/plaque_gimbal.h"
#include "scenes3d/random.h"
#include "scenes3d/sphere_cluster.h"

using namespace vantrose;

namespace {

// Textures and palettes at the scenes' entries: checks and rings in the texture, ramps of one
// hue per palette, stored uncompressed as runs of one.
std::vector<uint8_t> texture_bytes(int seed) {
    std::vector<uint8_t> t(65536);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            int check = ((u >> 5) ^ (v >> 5)) & 1;
            int du = u - 128, dv = v - 128;
            int ring = ((du * du + dv * dv) >> (6 + seed % 3)) & 63;
            t[v * 256 + u] = static_cast<uint8_t>(check * 128 + ring * 2);
        }
    return t;
}

std::vector<uint8_t> palette_bytes(int hue) {
    std::vector<uint8_t> p(768);
    for (int c = 0; c < 256; ++c) {
        int level = (c & 127) / 2;
        int base = c >= 128 ? 63 : level;
        p[3 * c] = static_cast<uint8_t>(hue & 1 ? base : level / 2);
        p[3 * c + 1] = static_cast<uint8_t>(hue & 2 ? base : level / 2);
        p[3 * c + 2] = static_cast<uint8_t>(hue & 4 ? base : level / 3);
    }
    return p;
}

void write_bench_archive(const std::string& path) {
    std::vector<std::vector<uint8_t>> entries(54, std::vector<uint8_t>{0});
    const int textures[] = {39, 41, 45, 47, 50, 52};
    const int palettes[] = {40, 42, 46, 48, 51, 53};
    for (int i = 0; i < 6; ++i) {
        entries[textures[i]] = texture_bytes(i);
        entries[palettes[i]] = palette_bytes(1 + i % 7);
    }
    std::vector<uint8_t> file;
    std::vector<uint32_t> offsets, sizes;
    for (const auto& entry : entries) {
        offsets.push_back(static_cast<uint32_t>(file.size()));
        for (uint8_t b : entry) {
            file.push_back(129);
            file.push_back(b);
        }
        sizes.push_back(static_cast<uint32_t>(2 * entry.size()));
    }
    auto put = [&file](uint32_t v) {
        for (int k = 0; k < 4; ++k) file.push_back(static_cast<uint8_t>(v >> (8 * k)));
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        put(offsets[i]);
        put(sizes[i]);
    }
    put(static_cast<uint32_t>(file.size() + 8));
    put(static_cast<uint32_t>(8 * entries.size() + 8));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size()) std::abort();
    std::fclose(f);
}

void prepare() {
    static bool ready = false;
    if (ready) return;
    std::string path = "/tmp/vantrose_scenes3d_bench.dat";
    write_bench_archive(path);
    archive_path = path;
    allocate_buffers();
    ready = true;
}

// The stripe image as 640 x 399 pixels: each logical pixel 2 wide and 3 tall.
void write_png(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, 640, 399, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(640 * 3);
    for (int r = 0; r < logical_rows; ++r) {
        const uint8_t* red = rgb_screen + 960 * r;
        const uint8_t* blue = red + 320;
        const uint8_t* green = red + 640;
        for (int x = 0; x < 320; ++x)
            for (int k = 0; k < 2; ++k) {
                row[6 * x + 3 * k] = static_cast<uint8_t>((red[x] & 63) * 4);
                row[6 * x + 3 * k + 1] = static_cast<uint8_t>((green[x] & 63) * 4);
                row[6 * x + 3 * k + 2] = static_cast<uint8_t>((blue[x] & 63) * 4);
            }
        for (int k = 0; k < 3; ++k) png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void maybe_write_png(const char* name) {
    const char* dir = std::getenv("VANTROSE_PNG_DIR");
    if (dir != nullptr) write_png(std::string(dir) + "/" + name + ".png");
}

void shade() {
    build_intensity_ramp();
    build_shade_table();
}

// The plaque in place, rings swinging, three seconds into its middle phase.
void scene_3d_2_frame() {
    set_up_scene_3d_2();
    shade();
    node_templates[0].px = 0.0f;
    for (int t = 0; t < 150; ++t) tick_scene_3d_2();
}

// The floor settled, the balls bouncing, the light a quarter of the way round.
void scene_3d_1_frame() {
    random_state = 1;
    set_up_scene_3d_1();
    shade();
    node_templates[0].py = 0.0f;
    node_templates[0].vy = 0.0f;
    for (int t = 0; t < 90; ++t) tick_balls_main();
}

// The cluster hovering just after its descent.
void scene_3d_3_frame() {
    set_up_scene_3d_3();
    shade();
    node_templates[0].py = node_templates[1].py = -400.0f;
    while (node_templates[0].py < 0.0f) tick_scene_3d_3_drift();
    for (int t = 0; t < 120; ++t) tick_scene_3d_3_hover();
}

void run_scene_frame(benchmark::State& state, void (*set_up)(), const char* name) {
    prepare();
    set_up();
    render_frame_3d();
    maybe_write_png(name);
    for (auto _ : state) {
        render_frame_3d();
        benchmark::DoNotOptimize(rgb_screen[960 * 66 + 160]);
    }
    state.counters["faces"] = visible_face_count;
    free_texture_block();
}

void BM_Scene3d2Frame(benchmark::State& state) {
    run_scene_frame(state, scene_3d_2_frame, "scene_3d_2");
}
void BM_Scene3d1Frame(benchmark::State& state) {
    run_scene_frame(state, scene_3d_1_frame, "scene_3d_1");
}
void BM_Scene3d3Frame(benchmark::State& state) {
    run_scene_frame(state, scene_3d_3_frame, "scene_3d_3");
}

// The clear alone: the floor under every 3D frame's cost.
void BM_FrameMemset(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        std::memset(rgb_screen, 0, 128000);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_Scene3d2Frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Scene3d1Frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Scene3d3Frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameMemset)->Unit(benchmark::kMicrosecond);
