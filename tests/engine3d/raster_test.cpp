#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

constexpr int32_t one = 1 << 16;

EdgePoint point(int32_t x, int32_t y, int32_t intensity = 0, int32_t u = 0, int32_t v = 0) {
    return {x, y, intensity * one, u * one, v * one};
}

int stored_rows(const EdgeEntry* table) {
    int n = 0;
    for (int r = 0; r < logical_rows; r++) n += table[r].x != -30000;
    return n;
}

class Raster : public Engine3d {
  protected:
    void SetUp() override {
        Engine3d::SetUp();
        probe_shade_table();
        for (int t = 0; t < 256; t++)
            for (int s = 0; s < 256; s++) texture_block[256 * t + s] = static_cast<uint8_t>(s);
    }
    void entry(EdgeEntry* table, int r, int32_t x, int32_t intensity, int32_t u = 0) {
        table[r] = {x, intensity * one, u * one, 0};
    }
};

} // namespace

using EdgeWalk = Raster;

TEST_F(EdgeWalk, HorizontalEdgeRecordsItsFirstEnd) {
    walk_edge(point(5, 10), point(15, 10));
    EXPECT_EQ(edge_table_a[10].x, 5);
    EXPECT_EQ(stored_rows(edge_table_a), 1);
    reset_edge_tables();
    walk_edge(point(15, 10), point(5, 10));
    EXPECT_EQ(edge_table_a[10].x, 15);
}

TEST_F(EdgeWalk, VerticalEdgeInterpolatesPerRow) {
    walk_edge(point(7, 0, 0, 8), point(7, 3, 4, 0));
    for (int r = 0; r < 4; r++) {
        EXPECT_EQ(edge_table_a[r].x, 7);
        EXPECT_EQ(edge_table_a[r].intensity, r * one);
        EXPECT_EQ(edge_table_a[r].u, (8 - 2 * r) * one);
    }
    EXPECT_EQ(stored_rows(edge_table_a), 4);
}

TEST_F(EdgeWalk, XMajorStoresTheFirstPointOfEachRow) {
    // dx = 4, dy = 2: err starts at 0, so the first step already changes row.
    walk_edge(point(10, 20), point(14, 22));
    EXPECT_EQ(edge_table_a[20].x, 10);
    EXPECT_EQ(edge_table_a[21].x, 11);
    EXPECT_EQ(edge_table_a[22].x, 13);
    EXPECT_EQ(stored_rows(edge_table_a), 3);
    // Handed over from the lower end, the ends are swapped first: the same points.
    reset_edge_tables();
    walk_edge(point(14, 22), point(10, 20));
    EXPECT_EQ(edge_table_a[21].x, 11);
    EXPECT_EQ(edge_table_a[22].x, 13);
    // Going left, the x moves go backwards.
    reset_edge_tables();
    walk_edge(point(14, 20), point(10, 22));
    EXPECT_EQ(edge_table_a[20].x, 14);
    EXPECT_EQ(edge_table_a[21].x, 13);
    EXPECT_EQ(edge_table_a[22].x, 11);
}

TEST_F(EdgeWalk, StepsTruncateTowardZero) {
    // dy = 2, steps = 3: dI = -5 / 3 = -1 (in 16.16 units of the raw values).
    walk_edge({0, 0, 5, -5, 7}, {0, 2, 0, 0, 0});
    EXPECT_EQ(edge_table_a[1].intensity, 5 - 1);
    EXPECT_EQ(edge_table_a[1].u, -5 + 1);
    EXPECT_EQ(edge_table_a[2].v, 7 - 4);
}

TEST_F(EdgeWalk, NegativeRowsCountAsLowerAndAreNotStored) {
    // From row 5 up to row -3: rows 5..0 stored.
    walk_edge(point(0, -3), point(8, 5));
    EXPECT_EQ(edge_table_a[5].x, 8);
    EXPECT_EQ(edge_table_a[0].x, 3);
    EXPECT_EQ(stored_rows(edge_table_a), 6);
}

TEST_F(EdgeWalk, RowsPast132AreWalkedNotStored) {
    walk_edge(point(0, 130), point(0, 140));
    EXPECT_EQ(stored_rows(edge_table_a), 3);
    EXPECT_EQ(edge_table_a[132].x, 0);
    reset_edge_tables();
    // A long edge from far above still reaches its rows on the raster.
    walk_edge(point(-5000000, -100000), point(100, 10));
    EXPECT_EQ(edge_table_a[10].x, 100);
    EXPECT_EQ(stored_rows(edge_table_a), 11);
}

TEST_F(EdgeWalk, ThirdEdgeGoesWithTheTallerOfTheFirstTwo) {
    walk_edge(point(0, 0), point(0, 10)); // 10 rows: A
    walk_edge(point(5, 0), point(5, 4));  // 4 rows: B
    walk_edge(point(9, 4), point(9, 10)); // B, since the first is not shorter
    EXPECT_EQ(edge_table_a[5].x, 0);
    EXPECT_EQ(edge_table_b[2].x, 5);
    EXPECT_EQ(edge_table_b[7].x, 9);
    reset_edge_tables();
    walk_edge(point(0, 0), point(0, 3));   // A
    walk_edge(point(5, 0), point(5, 10));  // B
    walk_edge(point(9, 20), point(9, 22)); // A: the first spans fewer rows
    EXPECT_EQ(edge_table_a[21].x, 9);
    EXPECT_EQ(edge_table_b[21].x, -30000);
}

TEST_F(EdgeWalk, ExtremeValuesStayDefined) {
    walk_edge({INT32_MIN, 0, INT32_MAX, INT32_MIN, 0}, {INT32_MAX, 1, INT32_MIN, INT32_MAX, 0});
    walk_edge({5, INT32_MIN, 0, 0, 0}, {5, INT32_MAX, 0, 0, 0});
    EXPECT_EQ(edge_table_b[0].x, 5);
}

using Spans = Raster;

TEST_F(Spans, SpanStartingLeftOfTheRasterIsAdvanced) {
    entry(edge_table_a, 4, -10, 0, 0);
    entry(edge_table_b, 4, 5, 15, 15);
    fill_spans(0);
    EXPECT_EQ(at(12, 0), 10);  // texel column 10
    EXPECT_EQ(at(14, 0), 10);  // brightness 10
    EXPECT_EQ(at(13, 0), 200); // the blue byte
    EXPECT_EQ(at(12, 5), 15);
    EXPECT_EQ(at(12, 6), test3d::untouched);
}

TEST_F(Spans, OnePixelSpanTakesTheLeftEnd) {
    entry(edge_table_a, 0, 7, 40, 3);
    entry(edge_table_b, 0, 7, 90, 9);
    fill_spans(0);
    EXPECT_EQ(at(0, 7), 3);
    EXPECT_EQ(at(2, 7), 40);
    EXPECT_EQ(at(0, 6), test3d::untouched);
    EXPECT_EQ(at(0, 8), test3d::untouched);
}

TEST_F(Spans, LeftEndIsTheSmallerX) {
    entry(edge_table_a, 1, 20, 0, 20);
    entry(edge_table_b, 1, 10, 0, 10);
    fill_spans(0);
    for (int x = 10; x <= 20; x++) EXPECT_EQ(at(3, x), x);
}

TEST_F(Spans, RightEdgeClipsAtColumn319) {
    entry(edge_table_a, 132, 300, 0, 0);
    entry(edge_table_b, 132, 400, 0, 100);
    fill_spans(0);
    EXPECT_EQ(at(396, 319), 19);
    EXPECT_EQ(at(398, 319), 0);
    EXPECT_EQ(at(397, 0), test3d::untouched); // no spill into the next row
    EXPECT_EQ(at(399, 0), test3d::untouched);
}

TEST_F(Spans, RowsOffTheRasterAndEmptyRowsAreSkipped) {
    entry(edge_table_a, 2, -20, 0);
    entry(edge_table_b, 2, -1, 0);
    entry(edge_table_a, 3, 320, 0);
    entry(edge_table_b, 3, 330, 0);
    entry(edge_table_b, 5, 10, 0); // table A empty: not drawn
    fill_spans(0);
    for (size_t i = 0; i < screen.size(); i++) ASSERT_EQ(screen[i], test3d::untouched) << i;
}

TEST_F(Spans, StaleTableValuesStayInsideTheTables) {
    entry(edge_table_a, 0, 0, 10);
    edge_table_b[0] = {-30000, INT32_MIN, INT32_MAX, -7 * one}; // empty, stale values
    edge_table_a[1] = {3, -50 * one, 300 * one, -1};
    edge_table_b[1] = {3, 0, 0, 0};
    fill_spans(1);
    EXPECT_NE(at(0, 0), test3d::untouched);
    EXPECT_EQ(at(0, 1), test3d::untouched);
}

TEST_F(Spans, RefusesWhatItCannotDraw) {
    EXPECT_THROW(fill_spans(2), std::out_of_range);
    EXPECT_THROW(fill_spans(-1), std::out_of_range);
    free_texture_block();
    EXPECT_THROW(fill_spans(0), std::logic_error);
}

using ClearFrame = Raster;

TEST_F(ClearFrame, ZeroesFourHundredRowsOnly) {
    clear_frame_3d();
    for (int row = 0; row < 400; row++)
        for (int x = 0; x < 320; x++) ASSERT_EQ(at(row, x), 0) << row << "," << x;
    for (size_t i = 128000; i < screen.size(); i++) ASSERT_EQ(screen[i], test3d::untouched);
}

TEST_F(ClearFrame, TriangleCrossingRow132StopsThere) {
    reset_edge_tables();
    walk_edge(point(10, 120), point(10, 150));
    walk_edge(point(10, 120), point(40, 150));
    walk_edge(point(40, 150), point(10, 150));
    fill_spans(0);
    EXPECT_NE(at(396, 12), test3d::untouched);
    EXPECT_NE(at(398, 12), test3d::untouched);
    for (size_t i = 399 * 320; i < screen.size(); i++) ASSERT_EQ(screen[i], test3d::untouched);
}

namespace {

// The walk as literally stated: every step taken, rows outside the raster included.
void literal_walk(EdgePoint a, EdgePoint b, EdgeEntry* table) {
    if (uint32_t(a.y) > uint32_t(b.y)) std::swap(a, b);
    const int64_t dx = std::llabs(int64_t{b.x} - a.x), dy = std::llabs(int64_t{b.y} - a.y);
    const bool xmajor = dx >= dy;
    const int64_t steps = xmajor ? dx + 1 : dy + 1;
    int64_t err = xmajor ? 2 * dy - dx : 2 * dx - dy;
    const int32_t di = int32_t((int64_t{b.intensity} - a.intensity) / steps);
    const int32_t du = int32_t((int64_t{b.u} - a.u) / steps);
    const int32_t dv = int32_t((int64_t{b.v} - a.v) / steps);
    const int64_t sx = a.x > b.x ? -1 : 1, sy = a.y > b.y ? -1 : 1;
    int64_t x = a.x, row = a.y, n = 0;
    int32_t i = a.intensity, u = a.u, v = a.v;
    while (n < steps) {
        if (row >= 0 && row < 133) table[row] = {int32_t(x), i, u, v};
        const int64_t before = row;
        do {
            n++;
            if (err < 0) {
                err += xmajor ? 2 * dy : 2 * dx;
                if (xmajor)
                    x += sx;
                else
                    row += sy;
            } else {
                err += xmajor ? 2 * (dy - dx) : 2 * (dx - dy);
                x += sx;
                row += sy;
            }
            i += di;
            u += du;
            v += dv;
        } while (row == before && n <= steps);
    }
}

} // namespace

TEST_F(EdgeWalk, ShortcutsMatchTheLiteralWalk) {
    std::srand(11);
    auto pick = [](int range, int offset) { return std::rand() % range - offset; };
    EdgeEntry expected[133];
    for (int trial = 0; trial < 4000; trial++) {
        // Small edges around the raster, long flat ones, and ones starting far off it.
        const int scale = trial % 4 == 0 ? 400000 : trial % 4 == 1 ? 3000 : 400;
        const int yscale = trial % 4 == 2 ? 20 : scale;
        const EdgePoint a = {pick(scale, scale / 2), pick(yscale, yscale / 2 - 60),
                             pick(256, 0) * one, pick(256, 0) * one, pick(256, 0) * one};
        EdgePoint b = {pick(scale, scale / 2), pick(yscale, yscale / 2 - 60), pick(256, 0) * one,
                       pick(256, 0) * one, pick(256, 0) * one};
        if (trial % 8 == 3) b.x = a.x + (b.y - a.y) * (1 + trial % 5); // exact slopes
        reset_edge_tables();
        walk_edge(a, b);
        for (EdgeEntry& e : expected) e = {-30000, 0, 0, 0};
        literal_walk(a, b, expected);
        for (int r = 0; r < 133; r++) {
            ASSERT_EQ(edge_table_a[r].x, expected[r].x) << trial << " row " << r;
            if (expected[r].x == -30000) continue;
            ASSERT_EQ(edge_table_a[r].intensity, expected[r].intensity) << trial << " row " << r;
            ASSERT_EQ(edge_table_a[r].u, expected[r].u) << trial;
            ASSERT_EQ(edge_table_a[r].v, expected[r].v) << trial;
        }
    }
}
