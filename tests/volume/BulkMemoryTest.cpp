// Bulk memory behind masks and render arrays: zeroed, writable, and kept
// where it is when its owner moves.
#include "volume/BulkMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

using namespace v3d;

TEST(BulkMemory, StartsZeroedAndKeepsItsBytesWhenMoved) {
    const size_t bytes = (size_t(5) << 20) + 3;  // not a whole number of pages
    BulkMemory block(bytes);
    ASSERT_NE(block.data(), nullptr);
    ASSERT_EQ(block.size(), bytes);
    EXPECT_TRUE(std::all_of(block.data(), block.data() + bytes, [](uint8_t b) { return b == 0; }));
    block.data()[0] = 1;
    block.data()[bytes - 1] = 2;
    uint8_t* const where = block.data();
    BulkMemory moved(std::move(block));
    EXPECT_EQ(block.data(), nullptr);
    EXPECT_EQ(moved.data(), where);
    EXPECT_EQ(moved.data()[0], 1);
    EXPECT_EQ(moved.data()[bytes - 1], 2);
    BulkMemory other(4096);
    other = std::move(moved);
    EXPECT_EQ(other.data(), where);
    EXPECT_EQ(BulkMemory(0).data(), nullptr);
}
