// The value range each selection tool floods over, from the picked sample.
#include "SegmentFixture.h"

#include "segment/FloodBounds.h"

#include <gtest/gtest.h>

using namespace v3d;

using v3d::FloodBounds;
using v3d::FloodTool;

namespace {

// Stored values are HU + 1024 (classified with intercept -1024).
struct Bounds : ::testing::Test {
    SegmentVolume v{4, 4, 4, [](int i, int, int) { return i * 100; }};
    FloodBounds b;
    void SetUp() override { v->setIsoValue(-300); }  // stored 724
};

TEST_F(Bounds, SelectObjectTakesFromTheIsoThresholdUp)
{
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::SelectObject, 724, *v, 0, 0, 0, b));
    EXPECT_EQ(b.low, 724);
    EXPECT_EQ(b.high, 16383);
    EXPECT_FALSE(v3d::floodBoundsFor(FloodTool::SelectObject, 723, *v, 0, 0, 0, b));
    EXPECT_FALSE(v3d::floodBoundsFor(FloodTool::SelectObject, -1, *v, 0, 0, 0, b));
}

TEST_F(Bounds, SegRangeIsTheFixedRangeAndRefusesSamplesOutsideIt)
{
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::SegRange, 1024, *v, -1000, 3000, 0, b));
    EXPECT_EQ(b.low, 24);
    EXPECT_EQ(b.high, 4024);
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::SegRange, 4024, *v, -1000, 3000, 0, b));
    EXPECT_FALSE(v3d::floodBoundsFor(FloodTool::SegRange, 4025, *v, -1000, 3000, 0, b));
    EXPECT_FALSE(v3d::floodBoundsFor(FloodTool::SegRange, 23, *v, -1000, 3000, 0, b));
    // Limited to 0 .. 16383.
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::SegRange, 0, *v, -2995, 2995, 0, b));
    EXPECT_EQ(b.low, 0);
}

TEST_F(Bounds, DensityRangeIsTheSamplePlusAndMinusTheRadius)
{
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::DensityRange, 1100, *v, 0, 0, 100, b));
    EXPECT_EQ(b.low, 1000);
    EXPECT_EQ(b.high, 1200);
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::DensityRange, 50, *v, 0, 0, 100, b));
    EXPECT_EQ(b.low, 0);
    EXPECT_TRUE(v3d::floodBoundsFor(FloodTool::DensityRange, 16350, *v, 0, 0, 100, b));
    EXPECT_EQ(b.high, 16383);
}

}  // namespace
