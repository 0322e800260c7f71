// Whole 3D frames (instancing, projection, culling, sort, lighting, shade table, edge walker and
// span filler) against a naive rendering written here from the formulas alone, over many poses.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "engine3d/frame.h"
#include "scene_meshes.h"
#include "support.h"

using namespace vantrose;
using namespace vantrose::test3d;

namespace {

// ---- The naive renderer: one plain function per stage, no shared code with the engine. ----
namespace naive {

struct Vertex {
    float x, y, z, u, v;
};
struct Tri {
    int32_t a, b, c, texture;
};
struct Edge {
    int32_t x, i, u, v;
};
struct End {
    int32_t x, y, i, u, v;
};

struct Frame {
    std::vector<SceneNode> nodes;
    std::vector<Vertex> vertices;
    std::vector<Tri> faces;
    std::vector<float> sx, sy;
    std::vector<Tri> visible;
    std::vector<float> keys;
    std::vector<uint8_t> out = std::vector<uint8_t>(128000, 0);
    Edge table[2][133];
    int edges = 0;
    int64_t spans[2] = {0, 0};
};

void place(Frame& f, const SceneNode& n) {
    const size_t start = f.vertices.size();
    if (n.first_child != 0)
        for (int32_t k = n.first_child; k < n.first_child + n.child_count; k++)
            place(f, f.nodes[k]);
    if (n.object != NO_OBJECT) {
        const ObjectRecord& o = objects[n.object];
        const int32_t base = static_cast<int32_t>(f.vertices.size());
        for (int32_t j = 0; j < o.vertex_count; j++) {
            const ModelVertex& m = model_vertices[o.first_vertex + j];
            f.vertices.push_back({m.x, m.y, m.z, m.x, map_v_from_y ? m.y : m.z});
        }
        for (int32_t j = 0; j < o.face_count; j++) {
            const Face& g = model_faces[o.first_face + j];
            f.faces.push_back({g.a + base, g.b + base, g.c + base, g.texture});
        }
    }
    // Each turn in its plane: p cos + q sin, q cos - p sin; about x, then y, then z.
    const auto turn = [](float& p, float& q, float angle) {
        const double c = std::cos(double(angle)), s = std::sin(double(angle));
        const double np = p * c + q * s, nq = q * c - p * s;
        p = float(np), q = float(nq);
    };
    for (size_t i = start; i < f.vertices.size(); i++) {
        Vertex& w = f.vertices[i];
        turn(w.y, w.z, n.rx), turn(w.x, w.z, -n.ry), turn(w.x, w.y, n.rz);
        w.x += n.px, w.y += n.py, w.z += n.pz;
    }
}

void sort(Frame& f, int lo, int hi) {
    const float pivot = f.keys[(lo + hi) / 2];
    int i = lo, j = hi;
    do {
        while (f.keys[i] > pivot) i++;
        while (f.keys[j] < pivot) j--;
        if (i <= j) {
            std::swap(f.keys[i], f.keys[j]);
            std::swap(f.visible[i], f.visible[j]);
            i++;
            j--;
        }
    } while (i < j);
    if (lo < j) sort(f, lo, j);
    if (i < hi) sort(f, i, hi);
}

void walk(Frame& f, End a, End b) {
    if (uint32_t(a.y) > uint32_t(b.y)) std::swap(a, b);
    const int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    int which = f.edges == 0 ? 0 : f.edges == 1 ? 1 : (f.spans[0] < f.spans[1] ? 0 : 1);
    if (f.edges < 2) f.spans[f.edges] = dy;
    f.edges++;
    const bool xmajor = dx >= dy;
    const int steps = xmajor ? dx + 1 : dy + 1;
    int err = xmajor ? 2 * dy - dx : 2 * dx - dy;
    const int di = (b.i - a.i) / steps, du = (b.u - a.u) / steps, dv = (b.v - a.v) / steps;
    const int sx = a.x > b.x ? -1 : 1, sy = a.y > b.y ? -1 : 1;
    int x = a.x, row = a.y, n = 0, i = a.i, u = a.u, v = a.v;
    while (n < steps) {
        if (row >= 0 && row < 133) f.table[which][row] = {x, i, u, v};
        const int before = row;
        do {
            n++;
            const bool diagonal = err >= 0; // otherwise a step along the major axis only
            err += 2 * (xmajor ? dy - (diagonal ? dx : 0) : dx - (diagonal ? dy : 0));
            if (xmajor || diagonal) x += sx;
            if (!xmajor || diagonal) row += sy;
            i += di;
            u += du;
            v += dv;
        } while (row == before && n <= steps);
    }
}

uint8_t ramp(int j) {
    return uint8_t(int((std::exp(j / 369.2) - 1.0) * 64.0));
}

// The shade entry, from the palette and the curve, computed on the spot.
void shade(int colour, int j, uint8_t out[3]) {
    const uint8_t* p = &texture_palettes[3 * colour];
    float c[3];
    const double add[3] = {0.0, 64.0, 128.0}, top[3] = {63.0, 127.0, 191.0};
    for (int k = 0; k < 3; k++) {
        c[k] = float(p[k] * 1.0 * ramp(j) * 0.015625 + add[k]);
        if (j >= 249)
            c[k] = float(top[k]);
        else if (j >= 230)
            c[k] = float(c[k] + (std::exp((j - 230) / 27.41) - 1.0) * (top[k] - c[k]));
        out[k] = uint8_t(int(c[k]));
    }
}

void span_row(Frame& f, int r, int texture) {
    const Edge& ea = f.table[0][r];
    const Edge& eb = f.table[1][r];
    const Edge& l = eb.x < ea.x ? eb : ea;
    const Edge& rt = eb.x < ea.x ? ea : eb;
    const int w = l.x == rt.x ? 1 : rt.x - l.x;
    const int di = (rt.i - l.i) / w, du = (rt.u - l.u) / w, dv = (rt.v - l.v) / w;
    if (rt.x < 0 || l.x > 319) return;
    for (int x = std::max(l.x, 0); x <= std::min(rt.x, 319); x++) {
        const int k = x - l.x;
        const int i = l.i + k * di, u = l.u + k * du, v = l.v + k * dv;
        EXPECT_TRUE(u >= 0 && (u >> 16) < 256 && v >= 0 && (v >> 16) < 256 && i >= 0 &&
                    (i >> 16) < 256);
        const uint8_t texel = texture_block[65536 * texture + 256 * (v >> 16) + (u >> 16)];
        uint8_t e[3];
        shade(256 * texture + texel, i >> 16, e);
        f.out[960 * r + x] = e[0];
        f.out[960 * r + 320 + x] = e[2];
        f.out[960 * r + 640 + x] = e[1];
    }
}

std::vector<uint8_t> render() {
    Frame f;
    f.nodes.assign(node_templates, node_templates + node_count);
    for (uint32_t r = 0; r < root_count; r++) place(f, f.nodes[r]);
    for (const Vertex& w : f.vertices) {
        const double k = 1000.0 - w.z;
        f.sx.push_back(float(float(k * w.x / 1000.0) + 160.0));
        f.sy.push_back(float(k * w.y / 1000.0 * 0.545 + 66.0));
    }
    for (const Tri& t : f.faces) {
        const float t1 = float((double(f.sy[t.c]) - f.sy[t.b]) * (double(f.sx[t.a]) - f.sx[t.b]));
        const float t2 = float((double(f.sy[t.a]) - f.sy[t.b]) * (double(f.sx[t.c]) - f.sx[t.b]));
        if (t1 > t2) f.visible.push_back(t);
    }
    for (const Tri& t : f.visible)
        f.keys.push_back(
            float((double(f.vertices[t.a].z) + f.vertices[t.b].z + f.vertices[t.c].z) / 3.0));
    if (f.visible.size() >= 2) sort(f, 0, int(f.visible.size()) - 1);

    auto ix = [&](int32_t v) { return int(f.sx[v]); };
    auto iy = [&](int32_t v) { return int(f.sy[v]); };
    auto off = [&](const Tri& t) {
        const int xs[3] = {ix(t.a), ix(t.b), ix(t.c)}, ys[3] = {iy(t.a), iy(t.b), iy(t.c)};
        auto all = [](const int* q, auto pred) { return pred(q[0]) && pred(q[1]) && pred(q[2]); };
        return all(xs, [](int q) { return q < 0; }) || all(ys, [](int q) { return q < 0; }) ||
               all(xs, [](int q) { return q > 319; }) || all(ys, [](int q) { return q > 199; });
    };

    std::vector<float> nx(3000, 0), ny(3000, 0), nz(3000, 0), bright(3000, 0);
    int max_vertex = 0;
    for (const Tri& t : f.visible) {
        if (off(t)) continue;
        const Vertex &p0 = f.vertices[t.a], &p1 = f.vertices[t.b], &p2 = f.vertices[t.c];
        const double d1[3] = {double(p0.x) - p1.x, double(p0.y) - p1.y, double(p0.z) - p1.z};
        const double d2[3] = {double(p0.x) - p2.x, double(p0.y) - p2.y, double(p0.z) - p2.z};
        const float n[3] = {float(d1[1] * d2[2] - d1[2] * d2[1]),
                            float(d1[0] * d2[2] - d1[2] * d2[0]),
                            float(d1[0] * d2[1] - d1[1] * d2[0])};
        for (int32_t v : {t.a, t.b, t.c}) {
            nx[v] += n[0];
            ny[v] += n[1];
            nz[v] += n[2];
            max_vertex = std::max(max_vertex, int(v));
        }
    }
    const double lx = light_vector.lx, ly = light_vector.ly, lz = light_vector.lz;
    for (int v = 0; v <= max_vertex; v++) {
        const float len =
            float(std::sqrt(double(nx[v]) * nx[v] + double(ny[v]) * ny[v] + double(nz[v]) * nz[v]) *
                  std::sqrt(lx * lx + ly * ly + lz * lz));
        float c = float((nx[v] * lx + ny[v] * ly + nz[v] * lz) / len);
        if (!(c >= -1.0f)) c = -1.0f;
        if (c > 1.0f) c = 1.0f;
        bright[v] = float(std::fabs((3.1415927 - std::fabs(std::acos(double(c)))) * 81.0));
    }

    for (const Tri& t : f.visible) {
        if (off(t)) continue;
        const Vertex &va = f.vertices[t.a], &vb = f.vertices[t.b], &vc = f.vertices[t.c];
        if (va.z < -1300.0f && vb.z < -1300.0f && vc.z < -1300.0f) continue;
        auto end = [&](int32_t v) {
            const Vertex& w = f.vertices[v];
            return End{ix(v), iy(v), (int(bright[v]) & 255) << 16, (int(w.u + 128.0) & 255) << 16,
                       (int(w.v + 128.0) & 255) << 16};
        };
        const End a = end(t.a), b = end(t.b), c = end(t.c);
        for (auto& row : f.table)
            for (Edge& e : row) e.x = -30000;
        f.edges = 0;
        const int dab = std::abs(b.y - a.y), dbc = std::abs(c.y - b.y), dca = std::abs(a.y - c.y);
        if (dab > dbc && dab > dca) {
            walk(f, a, b), walk(f, b, c), walk(f, c, a);
        } else if (dca > dbc) {
            walk(f, c, a), walk(f, a, b), walk(f, b, c);
        } else {
            walk(f, b, c), walk(f, c, a), walk(f, a, b);
        }
        for (int r = 0; r < 133; r++)
            if (f.table[0][r].x != -30000) span_row(f, r, t.texture);
    }
    return f.out;
}

} // namespace naive

class Frames : public Engine3d {
  protected:
    void SetUp() override {
        Engine3d::SetUp();
        fill_test_textures(texture_block, texture_palettes);
        build_intensity_ramp();
        build_shade_table();
        const Mesh cube = cube_mesh(60, 0);
        const Mesh sphere = sphere_mesh(70, 10, 16, 1);
        append_object(0, cube.vertices.data(), int32_t(cube.vertices.size()), cube.faces.data(),
                      int32_t(cube.faces.size()));
        append_object(1, sphere.vertices.data(), int32_t(sphere.vertices.size()),
                      sphere.faces.data(), int32_t(sphere.faces.size()));
        node_templates[0] = node(NO_OBJECT, 0, 0, -200, 1, 3);
        node_templates[1] = node(0, -100, 0, 0);
        node_templates[2] = node(1, 100, 10, 0);
        node_templates[3] = node(0, -106, -75, -700); // close, across the top left corner
        node_count = 4;
        root_count = 1;
    }
};

} // namespace

TEST_F(Frames, MatchTheNaiveRenderingOverManyPosesAndLights) {
    std::mt19937 random(3);
    const auto angle = [&random] {
        return std::uniform_real_distribution<float>(-3.2f, 3.2f)(random);
    };
    for (int frame = 0; frame < 24; frame++) {
        for (int k = 0; k < 4; k++) {
            node_templates[k].rx = angle(), node_templates[k].ry = angle(),
            node_templates[k].rz = angle();
        }
        // Near the viewer, far away, off the raster's edges.
        node_templates[0].px = frame % 6 == 5 ? 250.0f : 20.0f * angle();
        node_templates[0].pz = frame % 8 == 7 ? -1500.0f : -200.0f + 60.0f * angle();
        light_vector = {100.0f * angle(), 80.0f, 100.0f * angle() - 50.0f};
        map_v_from_y = frame % 2;
        render_frame_3d();
        const std::vector<uint8_t> reference = naive::render();
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < reference.size(); i++)
            if (reference[i] != screen[i] && differing++ == 0) first = i;
        ASSERT_EQ(differing, 0u) << "frame " << frame << ", first at row " << first / 320
                                 << " column " << first % 320;
        ASSERT_EQ(screen[128000], untouched) << "the clear stops after row 399";
    }
}
