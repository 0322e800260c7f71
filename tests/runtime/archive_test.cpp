#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "content/archive_writer.h"
#include "runtime/archive.h"
#include "runtime/buffers.h"
#include "runtime/ticks.h"
#include "test_files.h"

using namespace vantrose;
using namespace vantrose::testing_support;

namespace {

Bytes decode(const Bytes& packed, size_t capacity, bool* overflow = nullptr) {
    Bytes out(capacity, 0xEE);
    const size_t written = rle_decode(packed.data(), out.data(), packed.size(), capacity, overflow);
    out.resize(written);
    return out;
}

void put_u32(Bytes& file, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) file[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

// A destination with guard bytes on both sides; anything written outside shows in the guards.
struct Guarded {
    static constexpr size_t guard = 256;
    static constexpr uint8_t guard_value = 0xA5;
    Bytes bytes;
    size_t capacity;
    explicit Guarded(size_t size, uint8_t fill = 0x11) : bytes(guard, guard_value), capacity(size) {
        bytes.insert(bytes.end(), size, fill);
        bytes.insert(bytes.end(), guard, guard_value);
    }
    uint8_t* destination() { return bytes.data() + guard; }
    Bytes inside() const { return Bytes(bytes.begin() + guard, bytes.begin() + guard + capacity); }
    bool guards_intact() const {
        for (size_t i = 0; i < guard; ++i)
            if (bytes[i] != guard_value || bytes[guard + capacity + i] != guard_value) return false;
        return true;
    }
};

Guarded* watched_at_exit = nullptr;
// Runs inside load_entry's exit: a damaged guard turns status 1 into 99.
void check_guards_at_exit() {
    if (watched_at_exit && !watched_at_exit->guards_intact()) ::_exit(99);
}

class ArchiveFile : public ::testing::Test {
  protected:
    std::string path = scratch_path("vantrose.dat");
    std::string out_path = scratch_path("stdout.txt");
    void SetUp() override { use_threadsafe_death_tests(); }
    void TearDown() override {
        std::remove(path.c_str());
        std::remove(out_path.c_str());
        archive_path = "vantrose.dat";
    }
    void write(const Bytes& file) {
        write_bytes(path, file);
        archive_path = path;
    }
};

Bytes ramp(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = (i / 37) % 3 == 0 ? 200 : static_cast<uint8_t>(random());
    return data;
}

} // namespace

TEST(RleDecode, LiteralsAndRuns) {
    EXPECT_EQ(decode({0x05, 0x83, 0x07, 0x00}, 16), (Bytes{5, 7, 7, 7, 0}));
    // High values only travel as runs, a single one as a run of one.
    EXPECT_EQ(decode({0x81, 0xC8, 0x7F}, 16), (Bytes{200, 127}));
    EXPECT_EQ(decode({0xFF, 0x09}, 200), Bytes(127, 9));
}

TEST(RleDecode, RunOfZeroConsumesItsValueAndWritesNothing) {
    EXPECT_EQ(decode({0x05, 0x80, 0x09, 0x06}, 16), (Bytes{5, 6}));
    EXPECT_EQ(decode({0x80, 0x80}, 0), Bytes{});
}

TEST(RleDecode, RunByteWithoutItsValueEndsTheStream) {
    bool overflow = true;
    EXPECT_EQ(decode({0x05, 0x06, 0x83}, 16, &overflow), (Bytes{5, 6}));
    EXPECT_FALSE(overflow);
}

TEST(RleDecode, StopsAtTheDestinationsEnd) {
    bool overflow = false;
    Bytes out(8, 0xEE);
    EXPECT_EQ(rle_decode(Bytes{0x85, 0x01}.data(), out.data(), 2, 3, &overflow), 3u);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(out, (Bytes{1, 1, 1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

    overflow = false;
    EXPECT_EQ(decode({1, 2, 3}, 2, &overflow), (Bytes{1, 2}));
    EXPECT_TRUE(overflow);

    // Exactly full is not an overflow.
    EXPECT_EQ(decode({1, 0x82, 4}, 3, &overflow), (Bytes{1, 4, 4}));
    EXPECT_FALSE(overflow);
}

TEST(RleDecode, UndoesTheArchiveWritersPacking) {
    const Bytes data = ramp(64000, 7);
    EXPECT_EQ(decode(rle_pack(data), data.size()), data);
}

TEST_F(ArchiveFile, ReadsEntriesByIndex) {
    const Bytes first = ramp(3000, 1), second = ramp(768, 2);
    const Bytes file = build_archive({first, second});
    ASSERT_EQ(file[0], rle_pack(first)[0]); // entry 0 starts at file position 0
    write(file);
    Guarded a(3000), b(768);
    load_entry(0, a.destination(), a.capacity);
    load_entry(1, b.destination(), b.capacity);
    EXPECT_EQ(a.inside(), first);
    EXPECT_EQ(b.inside(), second);
    EXPECT_TRUE(a.guards_intact() && b.guards_intact());
}

TEST_F(ArchiveFile, OffsetsCountFromDataBaseBackFromTheEnd) {
    // Ten bytes of something else first; offsets count from just after them.
    Bytes file(10, 0x55);
    const Bytes packed = {0x83, 0x09, 0x02};
    file.insert(file.end(), packed.begin(), packed.end());
    const size_t directory = file.size();
    file.resize(file.size() + 8 + 8);
    put_u32(file, directory, 0);
    put_u32(file, directory + 4, 3);
    put_u32(file, file.size() - 8, static_cast<uint32_t>(file.size() - 10));
    put_u32(file, file.size() - 4, 16);
    write(file);
    Guarded out(4);
    load_entry(0, out.destination(), out.capacity);
    EXPECT_EQ(out.inside(), (Bytes{9, 9, 9, 2}));
}

TEST_F(ArchiveFile, LoadingTwiceGivesTheSameBytesAndShortEntriesKeepTheTail) {
    const Bytes longer(100, 120), shorter = {1, 2, 3};
    write(build_archive({longer, shorter}));
    Guarded out(100);
    load_entry(0, out.destination(), out.capacity);
    const Bytes once = out.inside();
    load_entry(0, out.destination(), out.capacity);
    EXPECT_EQ(out.inside(), once);

    load_entry(1, out.destination(), out.capacity);
    Bytes expected = longer;
    std::copy(shorter.begin(), shorter.end(), expected.begin());
    EXPECT_EQ(out.inside(), expected);
}

// A palette loaded while the timer thread fades toward it (race-free under the tsan preset).
TEST_F(ArchiveFile, LoadsIntoAPaletteTheTimerIsFadingToward) {
    write(build_archive({Bytes(768, 63), Bytes(768, 0)}));
    allocate_buffers();
    std::atomic<bool> stop{false};
    std::thread timer([&] {
        while (!stop.load(std::memory_order_relaxed)) tick_fade_6_0();
    });
    for (int i = 0; i < 50; ++i) load_entry(i % 2, pal0, palette_size);
    stop = true;
    timer.join();
    EXPECT_EQ(pal0[767], 0); // the last load
    free_buffers();
}

TEST_F(ArchiveFile, MissingArchiveEndsWithStatusOne) {
    archive_path = path + ".absent";
    Guarded out(16);
    EXPECT_EXIT(
        {
            redirect_stdout(out_path);
            load_entry(0, out.destination(), out.capacity);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_text(out_path), "Overlay file not found, terminating...\n");

    archive_path = ::testing::TempDir(); // a directory is no archive either
    EXPECT_EQ(load_entry_checked(archive_path, 0, out.destination(), out.capacity),
              ArchiveStatus::missing);
}

// Damaged archives: each case checked through the core (status, destination untouched) and
// through load_entry (message naming the file and the entry, status 1, guards intact at exit).
struct Damage {
    const char* name;
    ArchiveStatus status;
    uint32_t index;
    size_t capacity;
    Bytes (*make)();
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

Bytes two_entries() {
    return build_archive({Bytes(40, 3), Bytes(8, 200)});
}

Bytes with_u32(Bytes file, long from_end, uint32_t value) {
    put_u32(file, file.size() - from_end, value);
    return file;
}

const Damage damages[] = {
    {"shorter_than_trailer", ArchiveStatus::no_trailer, 0, 64,
     [] {
         return Bytes{1, 2, 3, 4, 5};
     }},
    {"empty_file", ArchiveStatus::no_trailer, 0, 64, [] { return Bytes{}; }},
    {"directory_before_file_start", ArchiveStatus::directory_outside, 0, 64,
     [] { return with_u32(two_entries(), 4, 0xFFFFFFF0); }},
    {"directory_slot_past_the_directory", ArchiveStatus::directory_outside, 2, 64, two_entries},
    {"index_wrapping_in_32_bits", ArchiveStatus::directory_outside, 0x20000000, 64, two_entries},
    {"offset_past_the_end", ArchiveStatus::entry_outside, 1, 64,
     [] { return with_u32(two_entries(), 8 + 16 - 8, 1000); }},
    {"offset_wrapping_in_32_bits", ArchiveStatus::entry_outside, 0, 64,
     [] { return with_u32(with_u32(two_entries(), 8, 0), 8 + 16, 0xFFFFFFF0); }},
    {"data_base_before_file_start", ArchiveStatus::entry_outside, 0, 64,
     [] { return with_u32(two_entries(), 8, 0x7FFFFFFF); }},
    {"size_past_the_end", ArchiveStatus::entry_outside, 1, 64,
     [] { return with_u32(two_entries(), 8 + 16 - 12, 500); }},
    {"run_byte_without_value", ArchiveStatus::truncated_run, 0, 64,
     [] {
         // Packed bytes 05 83, directory (offset 0, size 2), trailer (18, 16).
         return Bytes{5, 0x83, 0, 0, 0, 0, 2, 0, 0, 0, 18, 0, 0, 0, 16, 0, 0, 0};
     }},
    {"decodes_longer_than_destination", ArchiveStatus::too_large, 0, 39, two_entries},
};

class DamagedArchive : public ArchiveFile, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedArchive, IsRejectedWithoutWritingOutsideTheDestination) {
    const Damage& damage = GetParam();
    write(damage.make());
    Guarded out(damage.capacity);
    const Bytes before = out.inside();
    EXPECT_EQ(load_entry_checked(path, damage.index, out.destination(), out.capacity),
              damage.status);
    EXPECT_EQ(out.inside(), before);
    EXPECT_TRUE(out.guards_intact());

    EXPECT_EXIT(
        {
            redirect_stdout(out_path);
            watched_at_exit = &out;
            std::atexit(check_guards_at_exit);
            load_entry(damage.index, out.destination(), out.capacity);
        },
        ::testing::ExitedWithCode(1), "");
    const std::string message = read_text(out_path);
    EXPECT_NE(message.find(path + ": "), std::string::npos) << message;
    EXPECT_NE(message.find("entry " + std::to_string(damage.index)), std::string::npos) << message;
    EXPECT_EQ(message.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(Archive, DamagedArchive, ::testing::ValuesIn(damages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveFile, TooLargeNamesBothSizes) {
    write(two_entries());
    Guarded out(39);
    uint64_t decoded = 0;
    EXPECT_EQ(load_entry_checked(path, 0, out.destination(), 39, &decoded),
              ArchiveStatus::too_large);
    EXPECT_EQ(decoded, 40u);
    EXPECT_EXIT(
        {
            redirect_stdout(out_path);
            load_entry(0, out.destination(), 39);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_text(out_path),
              path + ": entry 0 decodes to 40 bytes, more than the 39 bytes of its destination\n");
}
