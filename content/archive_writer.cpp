#include "content/archive_writer.h"

#include <cstdio>
#include <stdexcept>

namespace vantrose {

Bytes rle_pack(const Bytes& data) {
    Bytes out;
    out.reserve(data.size() / 2 + 16);
    size_t i = 0;
    while (i < data.size()) {
        uint8_t value = data[i];
        size_t run = 1;
        while (i + run < data.size() && data[i + run] == value && run < 127) ++run;
        if (value < 128 && run <= 2) {
            // Short runs of small values are cheaper as literals.
            for (size_t k = 0; k < run; ++k) out.push_back(value);
        } else {
            out.push_back(static_cast<uint8_t>(128 + run));
            out.push_back(value);
        }
        i += run;
    }
    return out;
}

static void put_u32(Bytes& out, uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

Bytes build_archive(const std::vector<Bytes>& entries) {
    Bytes file;
    std::vector<uint32_t> offsets, sizes;
    for (const Bytes& entry : entries) {
        Bytes packed = rle_pack(entry);
        offsets.push_back(static_cast<uint32_t>(file.size()));
        sizes.push_back(static_cast<uint32_t>(packed.size()));
        file.insert(file.end(), packed.begin(), packed.end());
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        put_u32(file, offsets[i]);
        put_u32(file, sizes[i]);
    }
    const uint32_t length = static_cast<uint32_t>(file.size() + 8);
    put_u32(file, length);                                        // data_base
    put_u32(file, static_cast<uint32_t>(8 * entries.size() + 8)); // directory_span
    return file;
}

void write_file(const std::string& path, const Bytes& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

} // namespace vantrose
