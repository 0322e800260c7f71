#include "runtime/archive.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "capture/trace.h"
#include "runtime/shared_byte.h"
#include "shell/startup.h"

namespace vantrose {

std::string archive_path = "vantrose.dat";

namespace {

bool read_exact(std::ifstream& file, uint8_t* out, size_t count, int64_t position) {
    file.clear();
    file.seekg(position);
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return file && static_cast<size_t>(file.gcount()) == count;
}

uint32_t u32_le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Length of the decoded stream without writing it; `truncated` when it ends inside a run token.
uint64_t rle_measure(const uint8_t* source, size_t packed_size, bool& truncated) {
    uint64_t length = 0;
    size_t i = 0;
    truncated = false;
    while (i < packed_size) {
        const uint8_t b = source[i];
        if (b < 128) {
            length += 1;
            i += 1;
        } else if (i + 1 < packed_size) {
            length += b - 128u;
            i += 2;
        } else {
            truncated = true;
            break;
        }
    }
    return length;
}

} // namespace

size_t rle_decode(const uint8_t* source, uint8_t* destination, size_t packed_size, size_t capacity,
                  bool* overflow) {
    size_t i = 0, j = 0;
    bool over = false;
    while (i < packed_size) {
        const uint8_t b = source[i];
        if (b < 128) {
            if (j == capacity) {
                over = true;
                break;
            }
            destination[j++] = b;
            i += 1;
        } else {
            // A run byte whose value lies beyond the packed bytes ends the stream.
            if (i + 1 >= packed_size) break;
            const size_t count = b - 128u;
            // No zero-length memset: an empty destination may be null.
            if (count > capacity - j) {
                if (capacity > j) std::memset(destination + j, source[i + 1], capacity - j);
                j = capacity;
                over = true;
                break;
            }
            if (count > 0) std::memset(destination + j, source[i + 1], count);
            j += count;
            i += 2;
        }
    }
    if (overflow) *overflow = over;
    return j;
}

ArchiveStatus load_entry_checked(const std::string& path, uint32_t index, uint8_t* destination,
                                 size_t capacity, uint64_t* decoded) {
    if (decoded) *decoded = 0;
    // A folder or a device by that name is no archive either.
    std::error_code failed;
    if (!std::filesystem::is_regular_file(path, failed)) return ArchiveStatus::missing;
    std::ifstream file(path, std::ios::binary);
    if (!file) return ArchiveStatus::missing;
    file.seekg(0, std::ios::end);

    // Positions are 64-bit and signed: every distance read from the file may point anywhere.
    const int64_t end = static_cast<int64_t>(file.tellg());
    if (end < 0) return ArchiveStatus::read_failed;
    if (end < 8) return ArchiveStatus::no_trailer;
    uint8_t words[8];
    if (!read_exact(file, words, 8, end - 8)) return ArchiveStatus::read_failed;
    const uint32_t data_base = u32_le(words);
    const uint32_t directory_span = u32_le(words + 4);

    // The slot must lie before the trailer: an index past the directory would read the trailer.
    const int64_t slot =
        end - static_cast<int64_t>(directory_span) + 8 * static_cast<int64_t>(index);
    if (slot < 0 || slot + 8 > end - 8) return ArchiveStatus::directory_outside;
    if (!read_exact(file, words, 8, slot)) return ArchiveStatus::read_failed;
    const uint32_t offset = u32_le(words);
    const uint32_t packed_size = u32_le(words + 4);

    const int64_t start = end - static_cast<int64_t>(data_base) + offset;
    if (start < 0 || start + static_cast<int64_t>(packed_size) > end)
        return ArchiveStatus::entry_outside;
    std::vector<uint8_t> packed(packed_size);
    if (!read_exact(file, packed.data(), packed_size, start)) return ArchiveStatus::read_failed;

    bool truncated = false;
    const uint64_t length = rle_measure(packed.data(), packed_size, truncated);
    if (decoded) *decoded = length;
    if (truncated) return ArchiveStatus::truncated_run;
    if (length > capacity) return ArchiveStatus::too_large;
    std::vector<uint8_t> bytes(length);
    rle_decode(packed.data(), bytes.data(), packed_size, bytes.size());
    // The destination may be a palette that the timer thread is fading toward: byte stores.
    for (size_t i = 0; i < bytes.size(); ++i) store_shared_byte(destination[i], bytes[i]);
    return ArchiveStatus::ok;
}

const char* archive_status_text(ArchiveStatus status) {
    switch (status) {
    case ArchiveStatus::ok:
        return "ok";
    case ArchiveStatus::missing:
        return "cannot be opened";
    case ArchiveStatus::no_trailer:
        return "the file is shorter than its 8-byte trailer";
    case ArchiveStatus::directory_outside:
        return "its directory slot lies outside the file";
    case ArchiveStatus::entry_outside:
        return "its packed bytes lie outside the file";
    case ArchiveStatus::read_failed:
        return "a read came back short";
    case ArchiveStatus::truncated_run:
        return "its packed bytes end inside a run";
    case ArchiveStatus::too_large:
        return "it decodes to more than its destination holds";
    }
    return "unknown";
}

void load_entry(uint32_t index, uint8_t* destination, size_t capacity) {
    uint64_t decoded = 0;
    const ArchiveStatus status =
        load_entry_checked(archive_path, index, destination, capacity, &decoded);
    if (status == ArchiveStatus::ok) {
        note_load(index, destination);
        return;
    }
    std::string text;
    if (status == ArchiveStatus::missing) {
        text = "Overlay file not found, terminating...\n";
    } else if (status == ArchiveStatus::too_large) {
        text = archive_path + ": entry " + std::to_string(index) + " decodes to " +
               std::to_string(decoded) + " bytes, more than the " + std::to_string(capacity) +
               " bytes of its destination\n";
    } else {
        text = archive_path + ": damaged archive, entry " + std::to_string(index) + ": " +
               archive_status_text(status) + "\n";
    }
    end_process(1, text, data_file_hint(archive_path, status == ArchiveStatus::missing));
}

} // namespace vantrose
