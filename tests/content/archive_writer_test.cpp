#include <gtest/gtest.h>

#include "content/archive_writer.h"

using namespace vantrose;

TEST(RlePack, SmallValuesStayLiteralsAndHighValuesBecomeRuns) {
    EXPECT_EQ(rle_pack({5, 7, 7, 7, 0}), (Bytes{5, 128 + 3, 7, 0}));
    EXPECT_EQ(rle_pack({200}), (Bytes{129, 200}));
}

TEST(RlePack, LongRunsSplitAt127) {
    Bytes packed = rle_pack(Bytes(300, 9));
    EXPECT_EQ(packed, (Bytes{255, 9, 255, 9, 128 + 46, 9}));
}

TEST(BuildArchive, TrailerPointsAtTheDirectory) {
    Bytes file = build_archive({{1, 2}, {3}});
    ASSERT_EQ(file.size(), 3u + 16u + 8u);
    EXPECT_EQ(file[file.size() - 8], file.size());
    EXPECT_EQ(file[file.size() - 4], 8 * 2 + 8);
    EXPECT_EQ(file[3], 0);  // entry 0 at offset 0
    EXPECT_EQ(file[11], 2); // entry 1 at offset 2
}
