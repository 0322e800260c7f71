#include <stdexcept>
#include <vector>

#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

// int16 count and triples, little-endian, starting at an odd address to catch aligned reads.
std::vector<uint8_t> packed(const std::vector<int16_t>& values, int16_t count) {
    std::vector<uint8_t> bytes{0xEE};
    auto put = [&](int16_t v) {
        bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF));
    };
    put(count);
    for (int16_t v : values) put(v);
    return bytes;
}

} // namespace

using PackedTables = Engine3d;

TEST_F(PackedTables, VerticesDivideByFourTowardZero) {
    auto table = packed({-7, 7, 8, -4, -3, 400, 32767, -32768, 3}, 3);
    ModelVertex out[3];
    int32_t count = 0;
    EXPECT_EQ(read_packed_vertices(table.data() + 1, table.size() - 1, out, 3, &count), 20u);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(out[0].x, -1.0f);
    EXPECT_EQ(out[0].y, 1.0f);
    EXPECT_EQ(out[0].z, 2.0f);
    EXPECT_EQ(out[1].x, -1.0f);
    EXPECT_EQ(out[1].y, 0.0f);
    EXPECT_EQ(out[1].z, 100.0f);
    EXPECT_EQ(out[2].x, 8191.0f);
    EXPECT_EQ(out[2].y, -8192.0f);
    EXPECT_EQ(out[2].z, 0.0f);
}

TEST_F(PackedTables, FacesKeepIndicesAndTakeTextureZero) {
    auto table = packed({0, 1, 2, 2, 300, -1}, 2);
    Face out[2] = {{9, 9, 9, 1}, {9, 9, 9, 1}};
    int32_t count = 0;
    EXPECT_EQ(read_packed_faces(table.data() + 1, table.size() - 1, out, 2, &count), 14u);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(out[0].a, 0);
    EXPECT_EQ(out[0].c, 2);
    EXPECT_EQ(out[0].texture, 0);
    EXPECT_EQ(out[1].b, 300);
    EXPECT_EQ(out[1].c, -1);
    EXPECT_EQ(out[1].texture, 0);
}

TEST_F(PackedTables, BadTablesAreRefused) {
    ModelVertex out[4];
    Face faces[4];
    int32_t count = -5;
    auto three = packed({1, 2, 3, 4, 5, 6, 7, 8, 9}, 3);
    // The count promises more than the table holds.
    EXPECT_THROW(read_packed_vertices(three.data() + 1, three.size() - 2, out, 4, &count),
                 std::length_error);
    // More entries than the caller has room for.
    EXPECT_THROW(read_packed_vertices(three.data() + 1, three.size() - 1, out, 2, &count),
                 std::length_error);
    EXPECT_THROW(read_packed_faces(three.data() + 1, three.size() - 1, faces, 2, &count),
                 std::length_error);
    auto negative = packed({}, -1);
    EXPECT_THROW(read_packed_faces(negative.data() + 1, negative.size() - 1, faces, 4, &count),
                 std::length_error);
    EXPECT_THROW(read_packed_vertices(three.data() + 1, 1, out, 4, &count), std::length_error);
    EXPECT_EQ(count, -5); // nothing reported for a refused table
    auto empty = packed({}, 0);
    EXPECT_EQ(read_packed_vertices(empty.data() + 1, 2, out, 0, &count), 2u);
    EXPECT_EQ(count, 0);
}

using AppendObject = Engine3d;

TEST_F(AppendObject, ObjectsFollowEachOtherInThePools) {
    const ModelVertex v[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const Face f[1] = {{0, 1, 2, 1}};
    append_object(0, v, 3, f, 1);
    append_object(4, v, 2, nullptr, 0);
    EXPECT_EQ(model_vertex_total, 5u);
    EXPECT_EQ(model_face_total, 1u);
    EXPECT_EQ(objects[0].vertex_count, 3);
    EXPECT_EQ(objects[0].face_count, 1);
    EXPECT_EQ(objects[4].first_vertex, 3);
    EXPECT_EQ(objects[4].first_face, 1);
    EXPECT_EQ(objects[4].face_count, 0);
    EXPECT_EQ(model_vertices[4].z, 6.0f);
    EXPECT_EQ(model_faces[0].texture, 1);
}

TEST_F(AppendObject, OverflowAndBadFacesAreRefusedWithoutWriting) {
    std::vector<ModelVertex> many(model_vertex_capacity);
    std::vector<Face> faces(model_face_capacity, Face{0, 0, 0, 0});
    append_object(0, many.data(), 2999, faces.data(), 2999);
    const ModelVertex v[2] = {{1, 1, 1}, {2, 2, 2}};
    EXPECT_THROW(append_object(1, v, 2, nullptr, 0), std::length_error);
    EXPECT_THROW(append_object(1, v, 1, faces.data(), 2), std::length_error);
    append_object(1, v, 1, faces.data(), 1); // exactly to the end
    EXPECT_EQ(model_vertex_total, 3000u);
    EXPECT_EQ(model_face_total, 3000u);
    EXPECT_THROW(append_object(2, v, 1, nullptr, 0), std::length_error);

    model_vertex_total = model_face_total = 0;
    const Face outside[1] = {{0, 1, 2, 0}};
    EXPECT_THROW(append_object(0, v, 2, outside, 1), std::length_error);
    const Face negative[1] = {{0, -1, 1, 0}};
    EXPECT_THROW(append_object(0, v, 2, negative, 1), std::length_error);
    const Face texture2[1] = {{0, 1, 1, 2}};
    EXPECT_THROW(append_object(0, v, 2, texture2, 1), std::length_error);
    EXPECT_THROW(append_object(object_capacity, v, 2, nullptr, 0), std::length_error);
    EXPECT_THROW(append_object(0, v, -1, nullptr, 0), std::length_error);
    EXPECT_EQ(model_vertex_total, 0u);
    EXPECT_EQ(model_face_total, 0u);
}

TEST_F(AppendObject, TextureBlockIsOneZeroedAllocationUntilFreed) {
    ASSERT_NE(texture_block, nullptr);
    for (size_t i = 0; i < 131072; i += 4099) EXPECT_EQ(texture_block[i], 0);
    texture_block[131071] = 7; // the last byte of texture 1 is ours
    free_texture_block();
    EXPECT_EQ(texture_block, nullptr);
    free_texture_block(); // twice is harmless
    allocate_texture_block();
    EXPECT_EQ(texture_block[131071], 0);
}
