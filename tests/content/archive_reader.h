// A reader of vantrose.dat of the tests' own, independent of the runtime's loader: the trailer,
// the directory and the RLE stream exactly as the archive format has them.
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace archive_test {

using Bytes = std::vector<uint8_t>;

inline uint32_t u32(const Bytes& b, size_t at) {
    if (at + 4 > b.size()) throw std::runtime_error("read past the end");
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

inline Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Decodes a packed stream; throws on a run whose value byte is missing.
inline Bytes rle_decode(const uint8_t* p, size_t n) {
    Bytes out;
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        if (b < 128) {
            out.push_back(b);
            ++i;
        } else {
            if (i + 1 >= n) throw std::runtime_error("run without its value byte");
            out.insert(out.end(), size_t(b - 128), p[i + 1]);
            i += 2;
        }
    }
    return out;
}

struct Archive {
    Bytes file;
    uint32_t data_base = 0, directory_span = 0;

    explicit Archive(Bytes bytes) : file(std::move(bytes)) {
        if (file.size() < 8) throw std::runtime_error("no trailer");
        data_base = u32(file, file.size() - 8);
        directory_span = u32(file, file.size() - 4);
        if (data_base > file.size() || directory_span > file.size() || directory_span < 8)
            throw std::runtime_error("trailer points outside the file");
    }
    // Entries in the directory, as our writer lays it out (directory right before the trailer).
    size_t count() const { return (directory_span - 8) / 8; }
    Bytes packed(size_t index) const {
        const size_t dir = file.size() - directory_span + 8 * index;
        const uint32_t offset = u32(file, dir), size = u32(file, dir + 4);
        const size_t start = file.size() - data_base + offset;
        if (start + size > file.size()) throw std::runtime_error("entry outside the file");
        return Bytes(file.begin() + long(start), file.begin() + long(start + size));
    }
    Bytes entry(size_t index) const {
        const Bytes p = packed(index);
        return rle_decode(p.data(), p.size());
    }
};

} // namespace archive_test
