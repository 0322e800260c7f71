// Shared state handling for the 3D engine tests: a stripe image of our own, a clean engine, and
// a PNG view of the 3D stripe layout.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine3d/model.h"
#include "engine3d/pipeline.h"
#include "runtime/buffers.h"

namespace vantrose::test3d {

constexpr uint8_t untouched = 0xAA;

// Clears every pool and counter, points rgb_screen at a buffer filled with `untouched`, and
// gives the engine a zeroed texture block.
class Engine3d : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A node with everything zero but the object, the position and the children.
    static SceneNode node(int32_t object, float px = 0, float py = 0, float pz = 0,
                          int32_t first_child = 0, int32_t child_count = 0);
    // Byte of rgb_screen at a physical row and column.
    uint8_t at(int row, int column) const { return screen[320 * row + column]; }
    // Replaces the shade table with a probe: byte 0 = texel, byte 1 = brightness, byte 2 = 200.
    static void probe_shade_table();

    std::vector<uint8_t> screen;
    uint8_t* saved_screen = nullptr;
};

// The 3D layout as a picture: logical row r gives red from row 3r, blue from 3r+1 and green from
// 3r+2 (low six bits, times four). Each logical pixel becomes a 2 x 3 block.
void write_stripes_png(const std::string& path, const uint8_t* stripes);

// FNV-1a over the 128000 bytes a 3D frame writes.
uint64_t frame_checksum(const uint8_t* stripes);

} // namespace vantrose::test3d
