// Writes the show's archive: RLE-packed entries, then the directory, then the trailer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vantrose {

using Bytes = std::vector<uint8_t>;

// RLE packing the archive reader decodes: literals 0..127, runs of 1..127 for everything else.
Bytes rle_pack(const Bytes& data);

// The archive of these entries (index = position), offsets counted from the file's start.
Bytes build_archive(const std::vector<Bytes>& entries);

// Writes bytes to a file; throws std::runtime_error naming the path on failure.
void write_file(const std::string& path, const Bytes& data);

} // namespace vantrose
