#include "scenes3d/sphere_cluster.h"

#include <cmath>
#include <mutex>

#include "engine3d/frame.h"
#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/archive.h"
#include "runtime/script.h"
#include "scenes3d/floor_balls.h"
#include "scenes3d/scenes.h"
#include "shell/music.h"
#include "shell/timer.h"

namespace vantrose {

float spin_ticks = 240.0f;
float scene_3d_3_angle = 0.0f;

namespace {

constexpr int32_t divisor = 6;

constexpr int32_t ball_vertex_words[] = {
    26,                                                                   //
    0,    0,   186,  131,  -4,   132,  96,  90,   132,  4,    131,  132,  //
    -90,  96,  132,  -131, 4,    132,  -96, -90,  132,  -4,   -131, 132,  //
    90,   -96, 132,                                                       //
    186,  -5,  0,    135,  128,  0,    5,   186,  0,    -128, 135,  0,    //
    -186, 5,   0,    -135, -128, 0,    -5,  -186, 0,    128,  -135, 0,    //
    131,  -4,  -132, 96,   90,   -132, 4,   131,  -132, -90,  96,   -132, //
    -131, 4,   -132, -96,  -90,  -132, -4,  -131, -132, 90,   -96,  -132, //
    0,    0,   -186};

constexpr int32_t polyhedron_vertex_words[] = {
    10,                                                       //
    1,   -6,  72,  -74, -47, -50, 74, -51, -50, 4,  80,  -50, //
    -64, -41, 33,  65,  -45, 33,  3,  69,  33,  -1, -80, -72, //
    67,  30,  -72, -62, 33,  -72};

constexpr int32_t polyhedron_face_words[] = {
    16,                                                                      //
    0,  4, 5, 4, 1, 7, 4, 7, 5, 5, 7, 2, 0, 5, 6, 5, 2, 8, 5, 8, 6, 6, 8, 3, //
    0,  6, 4, 6, 3, 9, 6, 9, 4, 4, 9, 1, 1, 9, 7, 9, 3, 8, 9, 8, 7, 7, 8, 2};

constexpr int32_t tetrahedron_vertex_words[] = {4,  -14, 0,   40,  -42, -49, -40,
                                                42, 0,   -40, -42, 49,  -40};
constexpr int32_t tetrahedron_face_words[] = {4, 0, 1, 2, 0, 2, 3, 0, 3, 1, 1, 3, 2};

// Positions of a node's four children, for balls, polyhedra and tetrahedra.
constexpr float child_offsets[3][4][3] = {
    {{0, -141, 0}, {0, 150, 150}, {100, 100, -100}, {-100, 100, -100}},
    {{0, -70, 0}, {0, 50, 50}, {50, 50, -50}, {-50, 50, -50}},
    {{0, -28, 0}, {0, 20, 20}, {20, 20, -20}, {-20, 20, -20}}};

// level 0 balls, 1 polyhedra, 2 tetrahedra; j is the index among the parent's four children.
void set_child(uint32_t i, int level, int j, int32_t object, int32_t first_child, float s) {
    SceneNode& n = node_templates[i];
    n = SceneNode{};
    n.object = object;
    n.px = child_offsets[level][j][0];
    n.py = child_offsets[level][j][1];
    n.pz = child_offsets[level][j][2];
    float spin = level == 2 ? 2.0f * s : s;
    switch (j) {
    case 0:
        n.wx = spin;
        break;
    case 1:
        n.wz = spin;
        break;
    case 2:
        n.wy = spin;
        break;
    default: // the fourth tetrahedron turns about x at the basic speed only
        n.wz = spin;
        n.wx = s;
        break;
    }
    n.first_child = first_child;
    n.child_count = first_child != 0 ? 4 : 0;
}

// Both roots share one velocity, so sphere and cluster move as one.
void drift_tick(double lift) {
    std::lock_guard<std::mutex> lock(node_mutex);
    for (uint32_t i = 0; i < node_count; ++i) {
        SceneNode& n = node_templates[i];
        n.px += n.vx;
        n.py += n.vy;
        n.pz += n.vz;
        n.rz += n.wz;
        n.ry += n.wy;
        n.rx += n.wx;
    }
    double a = scene_3d_3_angle;
    node_templates[0].vx = static_cast<float>(std::sin(a));
    node_templates[1].vx = static_cast<float>(std::sin(a));
    node_templates[0].vy = static_cast<float>(std::cos(a) + lift);
    node_templates[1].vy = static_cast<float>(std::cos(a) + lift);
    node_templates[0].vz = static_cast<float>(3.0 * std::sin(a));
    node_templates[1].vz = static_cast<float>(3.0 * std::sin(a));
    scene_3d_3_angle = static_cast<float>(scene_3d_3_angle + 3.14159 / spin_ticks);
}

} // namespace

WideTable sphere_vertices() {
    constexpr int32_t ring_z[5] = {286, 165, 0, -165, -286};
    constexpr int32_t ring_r[5] = {165, 286, 330, 286, 165};
    constexpr double degree = 3.14159 / 180.0;
    WideTable t;
    t.add(0, 0, 330);
    for (int k = 0; k < 5; ++k)
        for (int j = 0; j < 12; ++j) {
            double p = (-35.87 + 30.0 * j) * degree;
            t.add(static_cast<int32_t>(std::lround(ring_r[k] * std::cos(p))),
                  static_cast<int32_t>(std::lround(ring_r[k] * std::sin(p))), ring_z[k]);
        }
    t.add(0, 0, -330);
    return t;
}

WideTable sphere_faces() {
    WideTable t;
    for (int32_t j = 0; j < 12; ++j) t.add(0, 1 + j, 1 + (j + 1) % 12);
    for (int32_t k = 0; k < 4; ++k)
        for (int32_t j = 0; j < 12; ++j) {
            int32_t a = 1 + 12 * k + j, b = 1 + 12 * k + (j + 1) % 12;
            int32_t c = a + 12, d = b + 12;
            t.add(a, c, d);
            t.add(a, d, b);
        }
    for (int32_t m = 0; m < 12; ++m) t.add(61, 49 + (11 - m), 49 + (10 - m + 12) % 12);
    return t;
}

WideTable cluster_ball_vertices() {
    return wide_table(ball_vertex_words, std::size(ball_vertex_words));
}

WideTable cluster_ball_faces() {
    WideTable t;
    for (const auto& f : ball_face_list()) t.add(f[0], f[1], f[2]);
    return t;
}

WideTable polyhedron_vertices() {
    return wide_table(polyhedron_vertex_words, std::size(polyhedron_vertex_words));
}
WideTable polyhedron_faces() {
    return wide_table(polyhedron_face_words, std::size(polyhedron_face_words));
}
WideTable tetrahedron_vertices() {
    return wide_table(tetrahedron_vertex_words, std::size(tetrahedron_vertex_words));
}
WideTable tetrahedron_faces() {
    return wide_table(tetrahedron_face_words, std::size(tetrahedron_face_words));
}

void set_up_scene_3d_3() {
    allocate_texture_block();
    spin_ticks = 240.0f;
    scene_3d_3_angle = 0.0f;
    clear_frame_3d();

    model_vertex_total = 0;
    model_face_total = 0;
    append_wide_object(1, sphere_vertices(), sphere_faces(), divisor, 0);
    append_wide_object(2, cluster_ball_vertices(), cluster_ball_faces(), divisor, 1);
    append_wide_object(3, polyhedron_vertices(), polyhedron_faces(), divisor, 0);
    append_wide_object(4, tetrahedron_vertices(), tetrahedron_faces(), divisor, 1);

    float s = static_cast<float>(3.14159 / spin_ticks);
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        SceneNode& cluster = node_templates[0];
        cluster = SceneNode{};
        cluster.object = NO_OBJECT;
        cluster.py = -30.0f;
        cluster.pz = -200.0f;
        cluster.wz = cluster.wy = cluster.wx = s;
        cluster.first_child = 2;
        cluster.child_count = 4;

        SceneNode& sphere = node_templates[1];
        sphere = SceneNode{};
        sphere.object = 1;
        sphere.py = -30.0f;
        sphere.pz = -200.0f;
        sphere.rx = static_cast<float>(-3.14159 / 2);
        sphere.wz = -s;
        sphere.wy = -s;
        sphere.wx = s;
        sphere.first_child = 0;
        sphere.child_count = 4; // no first child: the sphere alone

        for (int i = 0; i < 4; ++i) {
            set_child(2 + i, 0, i, 2, 6 + 4 * i, s);
            for (int j = 0; j < 4; ++j) {
                int m = 4 * i + j;
                set_child(6 + m, 1, j, 3, 22 + 4 * m, s);
                for (int k = 0; k < 4; ++k) set_child(22 + 4 * m + k, 2, k, 4, 0, s);
            }
        }
        node_count = 86;
        root_count = 2;
    }

    load_entry(50, texture_block, 65536);
    load_entry(52, texture_block + 65536, 65536);
    load_entry(51, texture_palettes, 768);
    load_entry(53, texture_palettes + 768, 768);
}

void tick_scene_3d_3_drift() {
    drift_tick(1.0);
}
void tick_scene_3d_3_hover() {
    drift_tick(0.0);
}

bool scene_3d_3_descended() {
    return node_templates[0].py >= 0.0f;
}
bool scene_3d_3_order_5() {
    return order_reached(scene_start_order, 5);
}
bool scene_3d_3_gone() {
    return node_templates[0].py >= 500.0f;
}

void run_scene_3d_3() {
    poll_music();
    scene_start_order = music_order;
    set_up_scene_3d_3();
    build_intensity_ramp();
    build_shade_table();
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0].py = -400.0f;
        node_templates[1].py = -400.0f;
    }
    set_timer_routine(tick_scene_3d_3_drift);

    run_phase_3d(1, true, scene_3d_3_descended);
    set_timer_routine(tick_scene_3d_3_hover);
    scene_start_order = music_order;
    run_phase_3d(2, true, scene_3d_3_order_5);
    set_timer_routine(tick_scene_3d_3_drift);
    run_phase_3d(3, true, scene_3d_3_gone);
    free_texture_block();
}

} // namespace vantrose
