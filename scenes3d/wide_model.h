// Wide model tables: the built-in mesh format of the plaque and the cluster scenes.
// A table is an int32 count followed by count int32 triples, little-endian, packed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrose {

using TableBytes = std::vector<uint8_t>;

// A table under construction: words[0] is the count, then the triples.
struct WideTable {
    std::vector<int32_t> words{0};
    void add(int32_t a, int32_t b, int32_t c);
    int32_t count() const { return words[0]; }
    // Element i of triple k.
    int32_t at(int32_t k, int32_t i) const { return words[1 + 3 * k + i]; }
};

// A table from its words as stored (count first).
WideTable wide_table(const int32_t* words, size_t word_count);
// The little-endian bytes of a table.
TableBytes wide_table_bytes(const WideTable& table);

// Appends object `slot` to the model pools from a vertex table and a face table. Coordinates are
// divided by `divisor` (integer division truncating toward zero), then stored as float; every
// face gets `texture`. Throws std::invalid_argument when a table is shorter than its count says,
// a count is negative, a face names a vertex outside the object or the divisor is not positive;
// pool overflow is refused by append_object.
void append_wide_object(uint32_t slot, const uint8_t* vertex_table, size_t vertex_size,
                        const uint8_t* face_table, size_t face_size, int32_t divisor,
                        int32_t texture);

// Same, from tables in memory.
void append_wide_object(uint32_t slot, const WideTable& vertices, const WideTable& faces,
                        int32_t divisor, int32_t texture);

} // namespace vantrose
