#include "scenes3d/plaque_gimbal.h"

#include <cmath>
#include <mutex>
#include <numbers>

#include "engine3d/frame.h"
#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/script.h"
#include "scenes3d/scenes.h"
#include "shell/music.h"
#include "shell/timer.h"

namespace vantrose {

float scene_3d_2_angle = 0.0f;

namespace {

constexpr int32_t divisor = 3;

// Back outline at z = -12, the same outline at z = 5, the smaller front outline at z = 12.
constexpr int32_t plaque_vertex_words[] = {
    24,                                                                 //
    -281, -160, -12, 281,  -160, -12, 304,  -140, -12, 304,  140,  -12, //
    283,  160,  -12, -281, 160,  -12, -304, 138,  -12, -304, -138, -12, //
    -281, -160, 5,   281,  -160, 5,   304,  -140, 5,   304,  140,  5,   //
    283,  160,  5,   -281, 160,  5,   -304, 138,  5,   -304, -138, 5,   //
    -276, -148, 12,  277,  -148, 12,  292,  -135, 12,  292,  135,  12,  //
    278,  148,  12,  -276, 148,  12,  -292, 133,  12,  -292, -133, 12};

constexpr int32_t plaque_back_cap[6][3] = {{3, 2, 1}, {3, 1, 0}, {4, 3, 0},
                                           {5, 4, 0}, {6, 5, 0}, {7, 6, 0}};
constexpr int32_t plaque_front_cap[6][3] = {{17, 18, 19}, {16, 17, 19}, {16, 19, 20},
                                            {16, 20, 21}, {16, 21, 22}, {16, 22, 23}};

// One leg's outline as (x, z), extruded from y = -9 to y = 9.
constexpr int32_t leg_outline[8][2] = {{-182, 95},  {-182, 105},  {-211, 105},  {-221, -95},
                                       {-232, -95}, {-252, -105}, {-212, -105}, {-202, 95}};
constexpr int32_t leg_bottom[6][3] = {{4, 5, 6}, {3, 4, 6}, {3, 6, 7},
                                      {2, 3, 7}, {1, 2, 7}, {1, 7, 0}};
constexpr int32_t leg_top[6][3] = {{14, 13, 12}, {14, 12, 11}, {15, 14, 11},
                                   {15, 11, 10}, {15, 10, 9},  {8, 15, 9}};

// Ring radius to the tube centre and tube radius, raw.
constexpr int32_t ring_radius[3] = {171, 145, 119};
constexpr double tube_radius[3] = {5.5, 5.0, 4.0};
// Section angles within each quarter turn, in degrees from -z towards +x.
constexpr double quarter_steps[4] = {0.0, 26.0, 51.4, 76.8};
constexpr double degree = 3.14159 / 180.0;
// The tube's points, every eighth of its circle from the top: how far up and how far towards
// the ring's centre, on a unit circle.
constexpr double eighth = std::numbers::sqrt2 / 2.0;
constexpr double tube_up[8] = {1.0, eighth, 0.0, -eighth, -1.0, -eighth, 0.0, eighth};
constexpr double tube_inwards[8] = {0.0, eighth, 1.0, eighth, 0.0, -eighth, -1.0, -eighth};

// Pins: the four (x, z) corners of each box, used at y = -2 and again at y = 2.
constexpr int32_t pin_corners[2][2][4][2] = {
    {{{-2, 147}, {4, 147}, {4, 169}, {-2, 169}}, {{-2, -168}, {4, -168}, {4, -146}, {-2, -146}}},
    {{{143, -2}, {143, 3}, {121, 3}, {121, -2}}, {{-120, -2}, {-120, 3}, {-142, 3}, {-142, -2}}}};
constexpr int32_t pin_faces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1},
                                      {1, 5, 6}, {1, 6, 2}, {2, 6, 7}, {2, 7, 3},
                                      {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};

void set_node(uint32_t i, int32_t object, float pz, int32_t first_child, int32_t child_count) {
    node_templates[i] = SceneNode{};
    node_templates[i].object = object;
    node_templates[i].pz = pz;
    node_templates[i].first_child = first_child;
    node_templates[i].child_count = child_count;
}

} // namespace

WideTable plaque_vertices() {
    return wide_table(plaque_vertex_words, std::size(plaque_vertex_words));
}

WideTable plaque_faces() {
    WideTable t;
    for (const auto& f : plaque_back_cap) t.add(f[0], f[1], f[2]);
    for (int32_t k = 0; k < 8; ++k) {
        int32_t k1 = (k + 1) % 8;
        t.add(k, k1, 8 + k1);
        t.add(k, 8 + k1, 8 + k);
    }
    for (int32_t k = 0; k < 8; ++k) {
        int32_t k1 = (k + 1) % 8;
        t.add(8 + k, 8 + k1, 16 + k1);
        t.add(8 + k, 16 + k1, 16 + k);
    }
    for (const auto& f : plaque_front_cap) t.add(f[0], f[1], f[2]);
    return t;
}

WideTable legs_vertices() {
    WideTable t;
    for (int32_t mirror : {1, -1})
        for (int32_t y : {-9, 9})
            for (const auto& p : leg_outline) t.add(mirror * p[0], y, p[1]);
    return t;
}

WideTable legs_faces() {
    WideTable bar;
    for (const auto& f : leg_bottom) bar.add(f[0], f[1], f[2]);
    for (int32_t k = 0; k < 8; ++k) {
        int32_t k1 = (k + 1) % 8;
        bar.add(8 + k1, k1, k);
        bar.add(8 + k, 8 + k1, k);
    }
    for (const auto& f : leg_top) bar.add(f[0], f[1], f[2]);

    // The mirrored bar turns its corners round so that its faces still point outwards.
    WideTable t = bar;
    for (int32_t k = 0; k < bar.count(); ++k)
        t.add(bar.at(k, 2) + 16, bar.at(k, 1) + 16, bar.at(k, 0) + 16);
    return t;
}

// Each section's points are rounded half away from zero at their place in the first quarter
// turn, then carried into their own quarter exactly: the tube's eight points sit at whole
// eighths of its circle and sections 0, 4, 8 and 12 on the axes, so the rounding is the same
// in every quarter and no half unit falls to the side of a rounding error.
WideTable ring_vertices(int ring) {
    WideTable t;
    for (int32_t s = 0; s < 16; ++s) {
        const double section = quarter_steps[s % 4] * degree;
        for (int32_t j = 0; j < 8; ++j) {
            // From the top of the tube, inwards first.
            const double radial = ring_radius[ring] - tube_radius[ring] * tube_inwards[j];
            int32_t x = static_cast<int32_t>(std::lround(radial * std::sin(section)));
            int32_t z = static_cast<int32_t>(std::lround(-radial * std::cos(section)));
            for (int32_t quarter = 0; quarter < s / 4; ++quarter) {
                const int32_t turned_x = -z; // a quarter turn from -z towards +x
                z = x;
                x = turned_x;
            }
            t.add(x, static_cast<int32_t>(std::lround(tube_radius[ring] * tube_up[j])), z);
        }
    }
    if (ring < 2)
        for (const auto& box : pin_corners[ring])
            for (int32_t y : {-2, 2})
                for (const auto& corner : box) t.add(corner[0], y, corner[1]);
    return t;
}

WideTable ring_faces(int ring) {
    WideTable t;
    for (int32_t s = 0; s < 16; ++s) {
        int32_t s1 = (s + 1) % 16;
        for (int32_t j = 0; j < 8; ++j) {
            int32_t j1 = (j + 1) % 8;
            t.add(8 * s + j, 8 * s + j1, 8 * s1 + j1);
            t.add(8 * s + j, 8 * s1 + j1, 8 * s1 + j);
        }
    }
    if (ring < 2)
        for (int32_t b : {128, 136})
            for (const auto& f : pin_faces) t.add(b + f[0], b + f[1], b + f[2]);
    return t;
}

void set_up_scene_3d_2() {
    allocate_texture_block();
    load_scene_textures(47, 45, 48, 46);
    clear_frame_3d();

    model_vertex_total = 0;
    model_face_total = 0;
    append_wide_object(0, plaque_vertices(), plaque_faces(), divisor, 0);
    append_wide_object(1, legs_vertices(), legs_faces(), divisor, 1);
    for (int ring = 0; ring < 3; ++ring)
        append_wide_object(2 + ring, ring_vertices(ring), ring_faces(ring), divisor, 1);

    {
        std::lock_guard<std::mutex> lock(node_mutex);
        set_node(0, 0, -400.0f, 1, 2);
        node_templates[0].py = 80.0f;
        node_templates[0].rx = static_cast<float>(-3.14159 / 2);
        set_node(1, 1, 40.0f, 0, 10); // child_count 10 but no first child: the legs alone
        set_node(2, 2, 75.0f, 3, 1);
        set_node(3, 3, 0.0f, 4, 1);
        set_node(4, 4, 0.0f, 0, 1);
        node_count = 5;
        root_count = 1;
    }
    map_v_from_y = 1;
    scene_3d_2_angle = 0.0f;
}

void tick_scene_3d_2() {
    std::lock_guard<std::mutex> lock(node_mutex);
    scene_3d_2_angle = static_cast<float>(scene_3d_2_angle + 3.14159 / 180.0);
    for (uint32_t i = 0; i < node_count; ++i) advance_node(node_templates[i]);
    double a = scene_3d_2_angle;
    node_templates[2].wx = static_cast<float>(std::cos(a) * 0.03125);
    node_templates[3].wz = static_cast<float>(std::cos(a) * 0.03125);
    node_templates[4].wx = static_cast<float>(std::sin(a) * 0.03125);
    node_templates[0].pz = static_cast<float>(std::sin(a) * 300.0 - 400.0);
    node_templates[0].wy = static_cast<float>(3.14159 / 360.0);
}

bool scene_3d_2_slid_in() {
    return node_templates[0].px >= 0.0f;
}
bool scene_3d_2_order_6() {
    return order_reached(scene_start_order, 6);
}
bool scene_3d_2_order_7() {
    return order_reached(scene_start_order, 7);
}

void run_scene_3d_2() {
    set_up_scene_3d_2();
    build_intensity_ramp();
    build_shade_table();
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0].px = -250.0f;
        node_templates[0].vx = 1.0f;
    }
    set_timer_routine(tick_scene_3d_2);
    scene_start_order = music_order;

    run_phase_3d(1, true, scene_3d_2_slid_in);
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0].vx = 0.0f;
    }
    run_phase_3d(2, true, scene_3d_2_order_6);
    {
        std::lock_guard<std::mutex> lock(node_mutex);
        node_templates[0].vx = 1.0f;
    }
    run_phase_3d(3, true, scene_3d_2_order_7);
    free_texture_block();
}

} // namespace vantrose
