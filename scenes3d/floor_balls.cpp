#include "scenes3d/floor_balls.h"

#include <cmath>
#include <mutex>

#include "engine3d/frame.h"
#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/archive.h"
#include "runtime/script.h"
#include "scenes3d/random.h"
#include "scenes3d/scenes.h"
#include "shell/music.h"
#include "shell/timer.h"

namespace vantrose {

namespace {

constexpr int16_t ball_vertex_words[] = {
    26,                                                                        //
    0,   0,   73,  51,  10,  52,  29,  43,  52,  -10, 51,  52,  -43, 29,  52,  //
    -51, -10, 52,  -29, -43, 52,  10,  -51, 52,  43,  -29, 52,                 //
    72,  14,  0,   41,  60,  0,   -14, 72,  0,   -60, 41,  0,   -72, -14, 0,   //
    -41, -60, 0,   14,  -72, 0,   60,  -41, 0,                                 //
    51,  10,  -52, 29,  43,  -52, -10, 51,  -52, -43, 29,  -52, -51, -10, -52, //
    -29, -43, -52, 10,  -51, -52, 43,  -29, -52,                               //
    0,   0,   -73};

std::vector<uint8_t> packed_bytes(const std::vector<int16_t>& words) {
    std::vector<uint8_t> bytes;
    for (int16_t word : words) {
        uint16_t bits = static_cast<uint16_t>(word);
        bytes.push_back(static_cast<uint8_t>(bits));
        bytes.push_back(static_cast<uint8_t>(bits >> 8));
    }
    return bytes;
}

// A spin rate divides by its draw; a draw of 0 is drawn again.
int32_t spin_draw() {
    int32_t r = random_draw();
    while (r == 0) r = random_draw();
    return r;
}

void advance(SceneNode& n) {
    n.px += n.vx;
    n.py += n.vy;
    n.pz += n.vz;
    n.rz += n.wz;
    n.ry += n.wy;
    n.rx += n.wx;
}

// Shared by spawn and re-entry: everything after the x speed differs only in the y divisor.
void place_ball(SceneNode& n, float px, double vx_draw_sign, double vy_divisor) {
    n = SceneNode{};
    n.object = 1;
    n.px = px;
    n.py = static_cast<float>(-static_cast<double>(random_draw()) / 300.0);
    n.pz = static_cast<float>(random_draw() / 200.0 - 54.0);
    n.vx = static_cast<float>(random_draw() * vx_draw_sign / 18000.0 - 1.0);
    n.vy = static_cast<float>(random_draw() / vy_divisor / 6.0);
    n.wx = static_cast<float>(1330.0 / spin_draw() / 6.0);
    n.wy = static_cast<float>(1330.0 / spin_draw() / 6.0);
    n.wz = static_cast<float>(1330.0 / spin_draw() / 6.0);
}

} // namespace

std::array<std::array<int32_t, 3>, 48> ball_face_list() {
    std::array<std::array<int32_t, 3>, 48> faces{};
    int f = 0;
    for (int32_t k = 0; k < 7; ++k) faces[f++] = {0, k + 1, k + 2};
    faces[f++] = {0, 8, 1};
    for (int32_t k = 0; k < 8; ++k) {
        int32_t k1 = (k + 1) % 8;
        faces[f++] = {1 + k, 9 + k, 9 + k1};
        faces[f++] = {1 + k, 9 + k1, 1 + k1};
    }
    for (int32_t k = 0; k < 8; ++k) {
        int32_t k1 = (k + 1) % 8;
        faces[f++] = {9 + k, 17 + k, 17 + k1};
        faces[f++] = {9 + k, 17 + k1, 9 + k1};
    }
    for (int32_t k = 0; k < 7; ++k) faces[f++] = {25, 24 - k, 23 - k};
    faces[f++] = {25, 17, 24};
    return faces;
}

std::vector<uint8_t> ball_packed_vertices() {
    return packed_bytes(
        std::vector<int16_t>(std::begin(ball_vertex_words), std::end(ball_vertex_words)));
}

std::vector<uint8_t> ball_packed_faces() {
    std::vector<int16_t> words{48};
    for (const auto& f : ball_face_list())
        for (int32_t corner : f) words.push_back(static_cast<int16_t>(corner));
    return packed_bytes(words);
}

void spawn_ball(uint32_t i) {
    place_ball(node_templates[i], 200.0f, -1.0, 11000.0);
}

void respawn_ball(uint32_t i, int32_t d) {
    place_ball(node_templates[i], static_cast<float>(-200 * d), d, 14000.0);
}

void set_up_scene_3d_1() {
    allocate_texture_block();
    load_entry(41, texture_block, 65536);
    load_entry(39, texture_block + 65536, 65536);
    load_entry(42, texture_palettes, 768);
    load_entry(40, texture_palettes + 768, 768);
    clear_frame_3d();

    model_vertex_total = 0;
    model_face_total = 0;

    // The floor: 3 x 3 tiles of 600 units at y = 70, four vertices and two faces each.
    ModelVertex floor_vertices[36];
    Face floor_faces[18];
    for (int32_t i = 0; i < 3; ++i)
        for (int32_t j = 0; j < 3; ++j) {
            int32_t k = 3 * i + j;
            float x0 = static_cast<float>(600 * j - 900),
                  x1 = static_cast<float>(600 * (j + 1) - 900);
            float z0 = static_cast<float>(600 * i - 900),
                  z1 = static_cast<float>(600 * (i + 1) - 900);
            floor_vertices[4 * k] = {x1, 70.0f, z0};
            floor_vertices[4 * k + 1] = {x0, 70.0f, z0};
            floor_vertices[4 * k + 2] = {x0, 70.0f, z1};
            floor_vertices[4 * k + 3] = {x1, 70.0f, z1};
            floor_faces[2 * k] = {4 * k + 2, 4 * k + 1, 4 * k, 1};
            floor_faces[2 * k + 1] = {4 * k, 4 * k + 3, 4 * k + 2, 1};
        }
    append_object(0, floor_vertices, 36, floor_faces, 18);

    ModelVertex ball_vertices[26];
    Face ball_faces[48];
    int32_t vertex_count = 0, face_count = 0;
    std::vector<uint8_t> vertex_table = ball_packed_vertices();
    std::vector<uint8_t> face_table = ball_packed_faces();
    read_packed_vertices(vertex_table.data(), vertex_table.size(), ball_vertices, 26,
                         &vertex_count);
    read_packed_faces(face_table.data(), face_table.size(), ball_faces, 48, &face_count);
    append_object(1, ball_vertices, vertex_count, ball_faces, face_count);

    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0] = SceneNode{};
        node_templates[0].object = 0;
        node_templates[0].py = 1200.0f;
        node_templates[0].vy = -10.0f;
        node_templates[0].first_child = 1;
        node_templates[0].child_count = 10;
        for (uint32_t i = 1; i <= 10; ++i) spawn_ball(i);
        node_count = 11;
        root_count = 1;
        light_angle = 0.0f;
    }
    map_v_from_y = 0;
}

void tick_bounce_in() {
    std::lock_guard<std::mutex> lock(node_mutex);
    // A tick that read the slot just before the runner pinned the floor must not push it again.
    if (timer_slot.load(std::memory_order_acquire) != tick_bounce_in) return;
    SceneNode& root = node_templates[0];
    root.vy = static_cast<float>(root.vy + -4.0);
    if (root.py < 0.0f) root.vy = static_cast<float>(-(root.vy + 4.0));
    root.vy = static_cast<float>(root.vy * 0.94);
    advance(root);
}

void tick_balls_main() {
    std::lock_guard<std::mutex> lock(node_mutex);
    double swing = std::sin(static_cast<double>(light_angle));
    node_templates[0].rz = static_cast<float>(-swing * 0.5);
    for (uint32_t i = 1; i <= 10; ++i) {
        SceneNode& ball = node_templates[i];
        ball.vy = static_cast<float>(ball.vy + 0.1);
        if (ball.py > 35.0f) ball.vy = static_cast<float>(-(ball.vy - 0.1));
        ball.vx = static_cast<float>(ball.vx + swing / 14.0);
    }
    for (uint32_t i = 1; i <= 10; ++i) {
        float px = node_templates[i].px;
        if (!(px >= -200.0f))
            respawn_ball(i, -1);
        else if (px > 200.0f)
            respawn_ball(i, 1);
    }
    light_angle = static_cast<float>(light_angle + 3.14159 / 180.0);
    light_vector.lx = static_cast<float>(std::cos(static_cast<double>(light_angle)) * 100.0);
    light_vector.lz = static_cast<float>(std::sin(static_cast<double>(light_angle)) * 100.0 - 50.0);
    for (uint32_t i = 0; i < node_count; ++i) advance(node_templates[i]);
}

bool scene_3d_1_floor_settled() {
    return std::fabs(node_templates[0].vy) <= 0.5f || std::fabs(node_templates[0].py) <= 0.1f;
}
bool scene_3d_1_order_6() {
    return order_reached(scene_start_order, 6);
}
bool scene_3d_1_floor_gone() {
    return std::fabs(node_templates[0].py) >= 1600.0f;
}

void run_scene_3d_1() {
    set_up_scene_3d_1();
    build_intensity_ramp();
    build_shade_table();
    set_timer_routine(tick_bounce_in);
    scene_start_order = music_order;

    run_phase_3d(1, true, scene_3d_1_floor_settled);
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0].vy = 0.0f;
        node_templates[0].py = 0.0f;
        set_timer_routine(tick_balls_main);
    }
    run_phase_3d(2, true, scene_3d_1_order_6);
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0].vy = 15.0f;
    }
    run_phase_3d(3, false, scene_3d_1_floor_gone);
    free_texture_block();
}

} // namespace vantrose
