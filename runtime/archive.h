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

// What load_entry found wrong, for callers that must not exit (the fuzzer, tests).
enum class ArchiveStatus : uint8_t {
    ok,
    missing,           // the file cannot be opened
    no_trailer,        // shorter than the 8-byte trailer
    directory_outside, // the entry's directory slot is not inside the file
    entry_outside,     // the packed bytes are not inside the file
    read_failed,       // the file changed or a read came back short
    truncated_run,     // the packed bytes end with a run byte and no value
    too_large,         // the entry decodes to more than the destination holds
};

// load_entry without the exit: checks everything first and leaves the destination untouched
// unless the whole entry decodes into it. *decoded receives the entry's length when known.
ArchiveStatus load_entry_checked(const std::string& path, uint32_t index, uint8_t* destination,
                                 size_t capacity, uint64_t* decoded = nullptr);

const char* archive_status_text(ArchiveStatus status);

} // namespace vantrose
