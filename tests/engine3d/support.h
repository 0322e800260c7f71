// Shared state handling for the 3D engine tests: a stripe image of our own and a clean engine.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
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

    std::vector<uint8_t> screen;
    uint8_t* saved_screen = nullptr;
};

} // namespace vantrose::test3d
