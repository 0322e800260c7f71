#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "engine3d/model.h"
#include "scenes3d/random.h"
#include "scenes3d/wide_model.h"

using namespace vantrose;

TEST(RandomDraw, SeedOneGivesTheClassicSequence) {
    random_state = 1;
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t value : expected) EXPECT_EQ(random_draw(), value);
}

TEST(RandomDraw, StaysWithinFifteenBitsAcrossTheStateWrap) {
    random_state = 0xfffffff0u;
    for (int i = 0; i < 100000; ++i) {
        int32_t r = random_draw();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

namespace {

void load_one(const WideTable& vertices, const WideTable& faces, int32_t divisor,
              int32_t texture = 0) {
    model_vertex_total = 0;
    model_face_total = 0;
    append_wide_object(0, vertices, faces, divisor, texture);
}

WideTable one_face() {
    WideTable f;
    f.add(0, 1, 2);
    return f;
}

} // namespace

TEST(WideTable, BytesAreLittleEndianCountThenTriples) {
    WideTable t;
    t.add(1, -2, 0x01020304);
    TableBytes bytes = wide_table_bytes(t);
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bytes[8], 0xfe); // -2
    EXPECT_EQ(bytes[11], 0xff);
    EXPECT_EQ(bytes[12], 4);
    EXPECT_EQ(bytes[15], 1);
}

TEST(WideModelLoader, DividesTruncatingTowardZero) {
    WideTable v;
    v.add(-160, 5, 3);
    v.add(33, -47, -5);
    v.add(-2, 2, 0);
    load_one(v, one_face(), 3);
    EXPECT_EQ(model_vertices[0].x, -53.0f);
    EXPECT_EQ(model_vertices[0].y, 1.0f);
    EXPECT_EQ(model_vertices[1].x, 11.0f);
    EXPECT_EQ(model_vertices[1].z, -1.0f);
    EXPECT_EQ(model_vertices[2].x, 0.0f);

    load_one(v, one_face(), 6);
    EXPECT_EQ(model_vertices[1].x, 5.0f);  // 5.5 truncated
    EXPECT_EQ(model_vertices[1].y, -7.0f); // -7.83 truncated
    EXPECT_EQ(model_vertices[0].x, -26.0f);
}

TEST(WideModelLoader, FacesGetTheObjectTextureAndRecordsTheirPlace) {
    WideTable v;
    for (int i = 0; i < 4; ++i) v.add(i, i, i);
    WideTable f;
    f.add(0, 1, 2);
    f.add(2, 3, 0);
    model_vertex_total = 0;
    model_face_total = 0;
    append_wide_object(1, v, f, 3, 1);
    append_wide_object(2, v, f, 3, 0);
    EXPECT_EQ(model_vertex_total, 8u);
    EXPECT_EQ(model_face_total, 4u);
    EXPECT_EQ(objects[2].first_vertex, 4);
    EXPECT_EQ(objects[2].first_face, 2);
    EXPECT_EQ(model_faces[1].texture, 1);
    EXPECT_EQ(model_faces[3].texture, 0);
    EXPECT_EQ(model_faces[1].b, 3); // local indices
}

TEST(WideModelLoader, ExtremeCoordinatesDivideWithoutOverflow) {
    WideTable v;
    v.add(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 0);
    v.add(0, 0, 0);
    v.add(0, 0, 0);
    load_one(v, one_face(), 3);
    EXPECT_EQ(model_vertices[0].x, static_cast<float>(-715827882));
    EXPECT_EQ(model_vertices[0].y, static_cast<float>(715827882));
}

TEST(WideModelLoader, RefusesMalformedTables) {
    WideTable v;
    for (int i = 0; i < 3; ++i) v.add(i, i, i);
    TableBytes vb = wide_table_bytes(v);
    TableBytes fb = wide_table_bytes(one_face());
    model_vertex_total = model_face_total = 0;

    // Shorter than the count says.
    EXPECT_THROW(append_wide_object(0, vb.data(), vb.size() - 1, fb.data(), fb.size(), 3, 0),
                 std::invalid_argument);
    EXPECT_THROW(append_wide_object(0, vb.data(), 3, fb.data(), fb.size(), 3, 0),
                 std::invalid_argument);
    EXPECT_THROW(append_wide_object(0, nullptr, 0, fb.data(), fb.size(), 3, 0),
                 std::invalid_argument);
    // A count that would wrap a size computation.
    TableBytes huge = vb;
    huge[0] = huge[1] = huge[2] = 0xff;
    huge[3] = 0x7f;
    EXPECT_THROW(append_wide_object(0, huge.data(), huge.size(), fb.data(), fb.size(), 3, 0),
                 std::invalid_argument);
    // A negative count.
    huge[3] = 0xff;
    EXPECT_THROW(append_wide_object(0, huge.data(), huge.size(), fb.data(), fb.size(), 3, 0),
                 std::invalid_argument);
    // A corner outside the object.
    WideTable bad;
    bad.add(0, 1, 3);
    EXPECT_THROW(load_one(v, bad, 3), std::invalid_argument);
    bad.words[3] = -1;
    EXPECT_THROW(load_one(v, bad, 3), std::invalid_argument);
    // No divisor.
    EXPECT_THROW(load_one(v, one_face(), 0), std::invalid_argument);
    // Nothing was appended by the refused loads.
    EXPECT_EQ(model_vertex_total, 0u);
    EXPECT_EQ(model_face_total, 0u);
}

TEST(WideModelLoader, TrailingBytesAfterTheTriplesAreIgnored) {
    WideTable v;
    for (int i = 0; i < 3; ++i) v.add(3 * i, 0, 0);
    TableBytes vb = wide_table_bytes(v);
    vb.push_back(0x55);
    TableBytes fb = wide_table_bytes(one_face());
    model_vertex_total = model_face_total = 0;
    append_wide_object(0, vb.data(), vb.size(), fb.data(), fb.size(), 3, 0);
    EXPECT_EQ(objects[0].vertex_count, 3);
    EXPECT_EQ(model_vertices[2].x, 2.0f);
}

TEST(WideTable, FromWordsChecksTheCount) {
    const int32_t good[] = {1, 4, 5, 6};
    EXPECT_EQ(wide_table(good, 4).at(0, 2), 6);
    const int32_t bad[] = {2, 4, 5, 6};
    EXPECT_THROW(wide_table(bad, 4), std::invalid_argument);
}
