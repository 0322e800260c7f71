// The 3D engine: one whole frame of about 800 instanced faces, and the shade table build.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine3d/frame.h"
#include "engine3d/pipeline.h"
#include "runtime/buffers.h"
#include "tests/engine3d/scene_meshes.h"

using namespace vantrose;

namespace {

std::vector<uint8_t> bench_screen(rgb_screen_size);

// Two spheres of 396 faces and a cube: 804 faces, about half of them facing the viewer.
void set_up_scene() {
    rgb_screen = bench_screen.data();
    allocate_texture_block();
    test3d::fill_test_textures(texture_block, texture_palettes);
    build_intensity_ramp();
    build_shade_table();
    model_vertex_total = model_face_total = 0;
    const test3d::Mesh sphere = test3d::sphere_mesh(65, 12, 18, 1);
    const test3d::Mesh cube = test3d::cube_mesh(50, 0);
    append_object(0, sphere.vertices.data(), int32_t(sphere.vertices.size()), sphere.faces.data(),
                  int32_t(sphere.faces.size()));
    append_object(1, cube.vertices.data(), int32_t(cube.vertices.size()), cube.faces.data(),
                  int32_t(cube.faces.size()));
    std::memset(node_templates, 0, sizeof node_templates);
    auto& root = node_templates[0];
    root = {NO_OBJECT, 0, 0, -100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 3};
    node_templates[1] = {0, -90, 0, 0, 0, 0, 0, 0.3f, 0, 0.5f, 0, 0, 0, 0, 0};
    node_templates[2] = {0, 90, 20, 0, 0, 0, 0, 0.1f, 0.7f, 0, 0, 0, 0, 0, 0};
    node_templates[3] = {1, 0, -60, 100, 0, 0, 0, 0.4f, 0.4f, 0.4f, 0, 0, 0, 0, 0};
    node_count = 4;
    root_count = 1;
}

void BM_render_frame_3d(benchmark::State& state) {
    set_up_scene();
    float angle = 0;
    for (auto _ : state) {
        node_templates[0].ry = angle;
        angle += 0.01f;
        render_frame_3d();
        benchmark::DoNotOptimize(rgb_screen[960 * 66 + 160]);
    }
    state.counters["faces"] = double(world_face_count);
    state.counters["visible"] = double(visible_face_count);
    free_texture_block();
}
BENCHMARK(BM_render_frame_3d)->Unit(benchmark::kMicrosecond);

void BM_clear_frame_3d_memset(benchmark::State& state) {
    rgb_screen = bench_screen.data();
    for (auto _ : state) {
        std::memset(rgb_screen, 0, 128000);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_clear_frame_3d_memset)->Unit(benchmark::kMicrosecond);

void BM_build_shade_table(benchmark::State& state) {
    test3d::fill_test_textures(std::vector<uint8_t>(131072).data(), texture_palettes);
    for (auto _ : state) {
        build_intensity_ramp();
        build_shade_table();
        benchmark::DoNotOptimize(shade_table[1000]);
    }
}
BENCHMARK(BM_build_shade_table)->Unit(benchmark::kMillisecond);

void BM_shade_table_memcpy(benchmark::State& state) {
    std::vector<uint8_t> from(sizeof shade_table, 1);
    for (auto _ : state) {
        std::memcpy(shade_table, from.data(), sizeof shade_table);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_shade_table_memcpy)->Unit(benchmark::kMillisecond);

} // namespace
