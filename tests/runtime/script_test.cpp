#include <gtest/gtest.h>

#include "runtime/script.h"
#include "shell/music.h"

using namespace vantrose;

namespace {

bool reached_at(int32_t order, int32_t start, int32_t n) {
    music_order = order;
    const bool reached = order_reached(start, n);
    music_order = 0;
    return reached;
}

} // namespace

TEST(OrderReached, OnEqualityAndNotBefore) {
    EXPECT_TRUE(reached_at(5, 0, 5));
    EXPECT_FALSE(reached_at(0, 0, 5));
    EXPECT_FALSE(reached_at(4, 0, 5));
    EXPECT_TRUE(reached_at(13, 10, 3));
    EXPECT_FALSE(reached_at(10, 10, 3)); // a scene's first frames, still at its start order
    EXPECT_FALSE(reached_at(12, 10, 3));
}

TEST(OrderReached, WhenTheModuleJumpedPastTheTarget) {
    EXPECT_TRUE(reached_at(7, 0, 5));
    EXPECT_TRUE(reached_at(14, 10, 3));
    EXPECT_TRUE(reached_at(10, 9, 0)); // length 0: any later order ends it too
}

TEST(OrderReached, WhenTheModuleWrappedBackBeforeTheStart) {
    EXPECT_TRUE(reached_at(0, 10, 3));
    EXPECT_TRUE(reached_at(9, 10, 3));
    EXPECT_TRUE(reached_at(-1, 0, 5)); // no position at all
}

TEST(OrderReached, NoOverflowAtTheEdgesOf32Bits) {
    EXPECT_FALSE(reached_at(INT32_MAX, INT32_MAX, 1));
    EXPECT_TRUE(reached_at(INT32_MIN, INT32_MAX, 1));
}
