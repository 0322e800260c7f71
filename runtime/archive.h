// The data archive: entries addressed by index, RLE-packed, directory at the file's end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrose {

// Path of vantrose.dat (set from --data; the current directory by default).
extern std::string archive_path;

// Decodes entry `index` into `destination`, which holds `capacity` bytes. A missing archive ends
// the program with status 1; a damaged archive or an entry larger than its destination too,
// with a message naming the file and the entry, and nothing written outside the destination.
void load_entry(uint32_t index, uint8_t* destination, size_t capacity);

// Decodes at most `packed_size` source bytes into at most `capacity` destination bytes.
// Returns the number of bytes written; sets *overflow when the stream wanted more room.
size_t rle_decode(const uint8_t* source, uint8_t* destination, size_t packed_size, size_t capacity,
                  bool* overflow = nullptr);

} // namespace vantrose
