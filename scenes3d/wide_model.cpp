#include "scenes3d/wide_model.h"

#include <stdexcept>

#include "engine3d/model.h"

namespace vantrose {

void WideTable::add(int32_t a, int32_t b, int32_t c) {
    words.push_back(a);
    words.push_back(b);
    words.push_back(c);
    words[0] += 1;
}

WideTable wide_table(const int32_t* words, size_t word_count) {
    WideTable table;
    table.words.assign(words, words + word_count);
    if (table.words.empty() || table.words[0] < 0 ||
        word_count != 1 + 3 * static_cast<size_t>(table.words[0]))
        throw std::invalid_argument("wide table: count does not match its triples");
    return table;
}

TableBytes wide_table_bytes(const WideTable& table) {
    TableBytes bytes;
    bytes.reserve(table.words.size() * 4);
    for (int32_t word : table.words) {
        uint32_t bits = static_cast<uint32_t>(word);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(bits >> shift));
    }
    return bytes;
}

namespace {

int32_t read_word(const uint8_t* p) {
    uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                    static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(bits);
}

// The count of a table, checked against the bytes that follow it.
int32_t table_count(const uint8_t* table, size_t size, const char* what) {
    if (table == nullptr || size < 4) throw std::invalid_argument(what);
    int32_t count = read_word(table);
    if (count < 0 || (size - 4) / 12 < static_cast<size_t>(count))
        throw std::invalid_argument(what);
    return count;
}

ModelVertex vertex_buffer[model_vertex_capacity];
Face face_buffer[model_face_capacity];

} // namespace

void append_wide_object(uint32_t slot, const uint8_t* vertex_table, size_t vertex_size,
                        const uint8_t* face_table, size_t face_size, int32_t divisor,
                        int32_t texture) {
    if (divisor <= 0) throw std::invalid_argument("wide table: divisor must be positive");
    int32_t vertex_count = table_count(vertex_table, vertex_size, "wide vertex table: truncated");
    int32_t face_count = table_count(face_table, face_size, "wide face table: truncated");
    if (static_cast<uint32_t>(vertex_count) > model_vertex_capacity ||
        static_cast<uint32_t>(face_count) > model_face_capacity)
        throw std::length_error("wide table: larger than the model pools");

    const uint8_t* p = vertex_table + 4;
    for (int32_t i = 0; i < vertex_count; ++i, p += 12) {
        vertex_buffer[i] = {static_cast<float>(read_word(p) / divisor),
                            static_cast<float>(read_word(p + 4) / divisor),
                            static_cast<float>(read_word(p + 8) / divisor)};
    }
    p = face_table + 4;
    for (int32_t i = 0; i < face_count; ++i, p += 12) {
        Face face{read_word(p), read_word(p + 4), read_word(p + 8), texture};
        for (int32_t corner : {face.a, face.b, face.c})
            if (corner < 0 || corner >= vertex_count)
                throw std::invalid_argument("wide face table: corner outside the object");
        face_buffer[i] = face;
    }
    append_object(slot, vertex_buffer, vertex_count, face_buffer, face_count);
}

void append_wide_object(uint32_t slot, const WideTable& vertices, const WideTable& faces,
                        int32_t divisor, int32_t texture) {
    TableBytes v = wide_table_bytes(vertices);
    TableBytes f = wide_table_bytes(faces);
    append_wide_object(slot, v.data(), v.size(), f.data(), f.size(), divisor, texture);
}

} // namespace vantrose
