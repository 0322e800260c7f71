#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/buffers.h"
#include "runtime/palette.h"
#include "test_files.h"

using namespace vantrose;
using namespace vantrose::testing_support;

namespace {

std::vector<size_t> requested_sizes;
void* recording_allocator(size_t size) {
    requested_sizes.push_back(size);
    // Dirty memory, so the zero fill has something to do.
    void* block = std::malloc(size);
    if (block) std::memset(block, 0xCD, size);
    return block;
}

int allocation_calls = 0;
// The fifth allocation (buf4) fails; any attempt after it is a fault.
void* failing_allocator(size_t size) {
    if (++allocation_calls > 5) std::abort();
    return allocation_calls == 5 ? nullptr : std::malloc(size);
}

struct Named {
    const char* name;
    uint8_t** pointer;
    size_t size;
};

const Named all_buffers[] = {
    {"buf0", &buf0, 65536},
    {"buf1", &buf1, 65536},
    {"buf2", &buf2, 65536},
    {"buf3", &buf3, 80000},
    {"buf4", &buf4, 65536},
    {"buf5", &buf5, 65536},
    {"buf6", &buf6, 65536},
    {"buf7", &buf7, 65536},
    {"pal0", &pal0, 768},
    {"pal1", &pal1, 768},
    {"pal2", &pal2, 768},
    {"pal3", &pal3, 768},
    {"pal4", &pal4, 768},
    {"pal5", &pal5, 768},
    {"pal6", &pal6, 768},
    {"pal7", &pal7, 768},
    {"rgb_screen", &rgb_screen, 130000},
    {"hires_picture", &hires_picture, 307200},
};

using Palette = std::array<uint8_t, 768>;

} // namespace

TEST(Buffers, AllocatedInOrderAndZeroFilled) {
    requested_sizes.clear();
    void* (*const system_allocator)(size_t) = buffer_allocator;
    buffer_allocator = recording_allocator;
    allocate_buffers();
    buffer_allocator = system_allocator;

    std::vector<size_t> expected;
    for (const Named& buffer : all_buffers) expected.push_back(buffer.size);
    EXPECT_EQ(requested_sizes, expected);
    for (const Named& buffer : all_buffers) {
        ASSERT_NE(*buffer.pointer, nullptr) << buffer.name;
        EXPECT_EQ(buffer_capacity(*buffer.pointer), buffer.size) << buffer.name;
        size_t non_zero = 0;
        for (size_t i = 0; i < buffer.size; ++i) non_zero += (*buffer.pointer)[i] != 0;
        EXPECT_EQ(non_zero, 0u) << buffer.name;
    }
    EXPECT_EQ(buffer_capacity(reinterpret_cast<uint8_t*>(map_table)), 128000u);
    EXPECT_EQ(buffer_capacity(buf0 + 1), 0u);

    free_buffers();
    for (const Named& buffer : all_buffers) EXPECT_EQ(*buffer.pointer, nullptr) << buffer.name;
}

TEST(Buffers, FailedAllocationPrintsBothLinesAndEndsWithStatusZero) {
    use_threadsafe_death_tests();
    const std::string out_path = scratch_path("stdout.txt");
    EXPECT_EXIT(
        {
            redirect_stdout(out_path);
            allocation_calls = 0;
            buffer_allocator = failing_allocator;
            allocate_buffers();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read_text(out_path),
              "Memory allocation error... 4 Megabytes of Free Memory Required!\n"
              "Try to remove resident programs like disk caches, etc...\n");
    std::remove(out_path.c_str());
}

TEST(Palette, StepMovesEveryByteOneUnitAndStopsAtTheTarget) {
    Palette current{}, target;
    target.fill(63);
    for (int step = 1; step <= 63; ++step) {
        step_palette_toward(current.data(), target.data());
        ASSERT_EQ(current[0], step);
        ASSERT_EQ(current[767], step);
    }
    EXPECT_EQ(current, target);
    step_palette_toward(current.data(), target.data());
    EXPECT_EQ(current, target);

    current.fill(10);
    target.fill(7);
    for (uint8_t expected : {9, 8, 7, 7}) {
        step_palette_toward(current.data(), target.data());
        EXPECT_EQ(current[300], expected);
    }
}

TEST(Palette, StepComparesEachByteOnItsOwnAndLeavesTheTargetAlone) {
    Palette current{}, target{};
    current[0] = 5, target[0] = 9;   // up
    current[1] = 9, target[1] = 5;   // down
    current[2] = 40, target[2] = 40; // stays
    current[3] = 200, target[3] = 3; // compared unsigned
    const Palette target_before = target;
    step_palette_toward(current.data(), target.data());
    EXPECT_EQ(current[0], 6);
    EXPECT_EQ(current[1], 8);
    EXPECT_EQ(current[2], 40);
    EXPECT_EQ(current[3], 199);
    EXPECT_EQ(target, target_before);
}

TEST(Palette, RotateCyclesEntriesTowardIndexZero) {
    // Every entry different: (e mod 64, e div 4) names e.
    Palette palette;
    for (int e = 0; e < 256; ++e) {
        palette[3 * e] = static_cast<uint8_t>(e & 63);
        palette[3 * e + 1] = static_cast<uint8_t>(e >> 2);
        palette[3 * e + 2] = static_cast<uint8_t>((e * 5) & 63);
    }
    const Palette original = palette;
    rotate_palette(palette.data());
    for (int entry = 0; entry < 255; ++entry)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(palette[3 * entry + c], original[3 * entry + 3 + c]);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(palette[765 + c], original[c]);

    for (int i = 1; i < 256; ++i) {
        EXPECT_NE(palette, original) << "after " << i << " rotations";
        rotate_palette(palette.data());
    }
    EXPECT_EQ(palette, original);
}

TEST(Palette, ClearBlacksOutAll768Bytes) {
    Palette palette;
    palette.fill(63);
    clear_palette(palette.data());
    EXPECT_EQ(palette, Palette{});
}
