#include "support.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace vantrose::test3d {

void Engine3d::SetUp() {
    model_vertex_total = model_face_total = 0;
    std::memset(objects, 0, sizeof objects);
    std::memset(node_templates, 0, sizeof node_templates);
    std::memset(nodes, 0, sizeof nodes);
    node_count = root_count = 0;
    world_vertex_count = world_face_count = visible_face_count = 0;
    std::memset(vertex_lights, 0, sizeof vertex_lights);
    light_vector = {0.0f, 80.0f, -80.0f};
    light_angle = 0.0f;
    map_v_from_y = 0;
    screen.assign(rgb_screen_size, untouched);
    saved_screen = rgb_screen;
    rgb_screen = screen.data();
    allocate_texture_block();
    reset_edge_tables();
}

void Engine3d::TearDown() {
    free_texture_block();
    rgb_screen = saved_screen;
}

SceneNode Engine3d::node(int32_t object, float px, float py, float pz, int32_t first_child,
                         int32_t child_count) {
    SceneNode n{};
    n.object = object;
    n.px = px;
    n.py = py;
    n.pz = pz;
    n.first_child = first_child;
    n.child_count = child_count;
    return n;
}

void Engine3d::probe_shade_table() {
    for (int c = 0; c < 512; c++)
        for (int j = 0; j < 256; j++) {
            uint8_t* e = &shade_table[3 * (256 * c + j)];
            e[0] = static_cast<uint8_t>(c);
            e[1] = static_cast<uint8_t>(j);
            e[2] = 200;
        }
}

void write_stripes_png(const std::string& path, const uint8_t* stripes) {
    constexpr int width = 640, height = 399;
    std::vector<uint8_t> rgb(width * height * 3);
    for (int r = 0; r < 133; r++)
        for (int x = 0; x < 320; x++) {
            const uint8_t red = (stripes[960 * r + x] & 63) * 4;
            const uint8_t blue = (stripes[960 * r + 320 + x] & 63) * 4;
            const uint8_t green = (stripes[960 * r + 640 + x] & 63) * 4;
            for (int dy = 0; dy < 3; dy++)
                for (int dx = 0; dx < 2; dx++) {
                    uint8_t* p = &rgb[3 * (width * (3 * r + dy) + 2 * x + dx)];
                    p[0] = red;
                    p[1] = green;
                    p[2] = blue;
                }
        }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; y++) png_write_row(png, &rgb[3 * width * y]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

uint64_t frame_checksum(const uint8_t* stripes) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < 128000; i++) {
        h ^= stripes[i];
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace vantrose::test3d
