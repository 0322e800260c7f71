// The archive reader: RLE decoding, entries found through the trailer and directory, and every
// kind of damaged archive refused without a write outside the destination.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "content/archive_writer.h"
#include "runtime/archive.h"
#include "tests/effects2d/support.h"

using namespace vantrose;

namespace {

Bytes decode(const Bytes& packed, size_t capacity, bool* overflow = nullptr) {
    Bytes out(capacity, 0xEE);
    out.resize(rle_decode(packed.data(), out.data(), packed.size(), capacity, overflow));
    return out;
}

void put_u32(Bytes& file, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) file[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

Bytes with_u32(Bytes file, size_t from_end, uint32_t value) {
    put_u32(file, file.size() - from_end, value);
    return file;
}

// A destination between guard bytes: anything written outside it shows in the guards.
struct Guarded {
    Bytes bytes;
    size_t capacity;
    explicit Guarded(size_t size) : bytes(size + 512, 0xA5), capacity(size) {
        std::fill(bytes.begin() + 256, bytes.begin() + 256 + size, 0x11);
    }
    uint8_t* destination() { return bytes.data() + 256; }
    Bytes inside() const { return Bytes(bytes.begin() + 256, bytes.begin() + 256 + capacity); }
    bool untouched() const { return bytes == Guarded(capacity).bytes; }
};

struct ArchiveFile : ::testing::Test {
    std::string path = ::testing::TempDir() + "vantrose-" + std::to_string(::getpid()) + ".dat";
    void TearDown() override {
        std::remove(path.c_str());
        archive_path = "vantrose.dat";
    }
    void write(const Bytes& file) {
        write_file(path, file);
        archive_path = path;
    }
    // load_entry in a child ends with `status`, printing `text` on standard output.
    void exits_with(int status, uint32_t index, size_t capacity, const std::string& text) {
        EXPECT_EXIT(
            {
                ::dup2(2, 1);
                ::dup2(::open("/dev/null", O_WRONLY), 2);
                Guarded out(capacity);
                load_entry(index, out.destination(), out.capacity);
            },
            ::testing::ExitedWithCode(status), ::testing::Eq(text));
    }
};

Bytes two_entries() {
    return build_archive({Bytes(40, 3), Bytes(8, 200)});
}

} // namespace

TEST(RleDecode, LiteralsRunsAndTheDestinationsEnd) {
    const struct {
        Bytes packed;
        size_t capacity;
        Bytes decoded;
        bool overflow;
    } cases[] = {
        {{0x05, 0x83, 0x07, 0x00}, 16, {5, 7, 7, 7, 0}, false},
        {{0x81, 0xC8, 0x7F}, 16, {200, 127}, false}, // high values only travel as runs
        {{0xFF, 0x09}, 200, Bytes(127, 9), false},
        {{0x05, 0x80, 0x09, 0x06}, 16, {5, 6}, false}, // a run of 0 consumes its value
        {{0x05, 0x06, 0x83}, 16, {5, 6}, false},       // a run byte without its value ends it
        {{0x85, 0x01}, 3, {1, 1, 1}, true},
        {{1, 2, 3}, 2, {1, 2}, true},
        {{1, 0x82, 4}, 3, {1, 4, 4}, false}, // exactly full
    };
    for (const auto& c : cases) {
        bool overflow = !c.overflow;
        EXPECT_EQ(decode(c.packed, c.capacity, &overflow), c.decoded) << int(c.packed[0]);
        EXPECT_EQ(overflow, c.overflow) << int(c.packed[0]);
    }
    std::mt19937 random(7);
    Bytes data(64000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (i / 37) % 3 == 0 ? 200 : static_cast<uint8_t>(random());
    EXPECT_EQ(decode(rle_pack(data), data.size()), data);
}

TEST_F(ArchiveFile, ReadsEntriesByIndexFromTheDataBase) {
    Bytes first = effects_test::noise(3000, 1), second = effects_test::noise(768, 2);
    for (uint8_t& b : second) b = b % 3 * 100;
    write(build_archive({first, second}));
    Guarded a(3000), b(768);
    load_entry(1, b.destination(), b.capacity);
    load_entry(0, a.destination(), a.capacity);
    EXPECT_EQ(a.inside(), first);
    EXPECT_EQ(b.inside(), second);
    // A short entry leaves the rest of its destination as it was.
    write(build_archive({Bytes{1, 2, 3}}));
    load_entry(0, b.destination(), b.capacity);
    EXPECT_EQ(b.inside()[2], 3);
    EXPECT_EQ(b.inside()[3], second[3]);

    // Ten bytes of something else first; offsets count from the data base back from the end.
    Bytes file = {0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x83, 0x09, 0x02};
    file.resize(file.size() + 16);
    put_u32(file, 13 + 4, 3);
    put_u32(file, file.size() - 8, static_cast<uint32_t>(file.size() - 10));
    put_u32(file, file.size() - 4, 16);
    write(file);
    Guarded out(4);
    load_entry(0, out.destination(), out.capacity);
    EXPECT_EQ(out.inside(), (Bytes{9, 9, 9, 2}));
}

TEST_F(ArchiveFile, EveryKindOfDamageIsRefusedWithoutWriting) {
    const Bytes cut_run = {5, 0x83, 0, 0, 0, 0, 2, 0, 0, 0, 18, 0, 0, 0, 16, 0, 0, 0};
    const struct {
        const char* name;
        ArchiveStatus status;
        uint32_t index;
        size_t capacity;
        Bytes file;
    } damages[] = {
        {"shorter than the trailer", ArchiveStatus::no_trailer, 0, 64, {1, 2, 3, 4, 5}},
        {"empty", ArchiveStatus::no_trailer, 0, 64, {}},
        {"directory before the start", ArchiveStatus::directory_outside, 0, 64,
         with_u32(two_entries(), 4, 0xFFFFFFF0)},
        {"slot past the directory", ArchiveStatus::directory_outside, 2, 64, two_entries()},
        {"index wrapping 32 bits", ArchiveStatus::directory_outside, 0x20000000, 64, two_entries()},
        {"offset past the end", ArchiveStatus::entry_outside, 1, 64,
         with_u32(two_entries(), 16, 1000)},
        {"offset wrapping 32 bits", ArchiveStatus::entry_outside, 0, 64,
         with_u32(with_u32(two_entries(), 8, 0), 24, 0xFFFFFFF0)},
        {"data base before the start", ArchiveStatus::entry_outside, 0, 64,
         with_u32(two_entries(), 8, 0x7FFFFFFF)},
        {"size past the end", ArchiveStatus::entry_outside, 1, 64,
         with_u32(two_entries(), 12, 500)},
        {"run cut short", ArchiveStatus::truncated_run, 0, 64, cut_run},
        {"longer than the destination", ArchiveStatus::too_large, 0, 39, two_entries()},
    };
    for (const auto& d : damages) {
        write(d.file);
        Guarded out(d.capacity);
        EXPECT_EQ(load_entry_checked(path, d.index, out.destination(), out.capacity), d.status)
            << d.name;
        EXPECT_TRUE(out.untouched()) << d.name;
    }
    // What load_entry says and does: status 1 and a message naming the file and the entry.
    write(with_u32(two_entries(), 12, 500));
    exits_with(1, 1, 64,
               path + ": damaged archive, entry 1: its packed bytes lie outside the file\n");
    write(two_entries());
    exits_with(1, 0, 39,
               path + ": entry 0 decodes to 40 bytes, more than the 39 bytes of its destination\n");
    Guarded out(16);
    EXPECT_EQ(load_entry_checked(::testing::TempDir(), 0, out.destination(), 16),
              ArchiveStatus::missing)
        << "a directory is no archive";
}
