// libFuzzer target: arbitrary bytes as the archive file, then a load of one entry.
// Input: byte 0 picks the entry index, byte 1 the destination size, the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "runtime/archive.h"

using namespace vantrose;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path =
        "/tmp/vantrose_archive_fuzz_" + std::to_string(::getpid()) + ".dat";
    if (size < 2) return 0;
    const uint32_t index = data[0] < 248 ? data[0] % 8 : 0xFFFFFFFFu - (data[0] - 248);
    const size_t capacity = static_cast<size_t>(data[1]) * 3;
    const std::vector<uint8_t> file(data + 2, data + size);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!file.empty()) std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    // Exactly `capacity` bytes on the heap: the address sanitizer sees any write past them.
    std::unique_ptr<uint8_t[]> destination(new uint8_t[capacity + 1]);
    uint8_t* const out = destination.get();
    uint64_t decoded = 0;
    const ArchiveStatus status = load_entry_checked(path, index, out, capacity, &decoded);
    if (status == ArchiveStatus::ok && decoded > capacity) std::abort();

    // The decoder alone, over the same bytes.
    bool overflow = false;
    const size_t written = rle_decode(file.data(), out, file.size(), capacity, &overflow);
    if (written > capacity || (overflow && written != capacity)) std::abort();
    return 0;
}
