// Region cuts: the barrier blocks, the polygon test and what a cut keeps.
#include "SegmentFixture.h"

#include "render/RenderWorkspace.h"
#include "segment/OutlineCut.h"
#include "segment/PolygonTest.h"
#include "segment/Segmenter.h"
#include "view/CutPlaneSet.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace v3d;

using v3d::Segmenter;

namespace {

constexpr int kN = 32;
constexpr int kSoft = 1000;
const Vec3 kAlongZ(0, 0, 1);
const Vec3 kRight(1, 0, 0);
// The outline sits at z = 0; the barrier runs from z = -5 through the grid.
constexpr float kStartDepth = -5.0f;
constexpr int kDepthRange = 45;

const std::vector<Vec3> kSquare{{8, 8, 0}, {24, 8, 0}, {24, 24, 0}, {8, 24, 0}};

int everywhere(int i, int j, int k) { return 300 + (i * 7 + j * 13 + k * 29) % 1500; }

bool centreRayHits(const CVolume& volume)
{
    RenderWorkspace workspace;
    CutPlaneSet planes;
    planes.clipRay(volume, workspace, false, 0, 0, Vec3(16, 16, -10), Vec3(0, 0, 1));
    return workspace.entryDistance[0] >= 0.0f;
}

TEST(PolygonTest, InsideWhenTheRayAlongTheTestAxisCrossesAnOddNumberOfEdges)
{
    EXPECT_TRUE(v3d::insidePolygon(Vec3(16, 16, 7), kSquare, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(2, 16, 7), kSquare, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(30, 16, 7), kSquare, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(16, 30, 7), kSquare, kAlongZ, kRight));
    // An L: the notch at the upper right is outside.
    const std::vector<Vec3> ell{{8, 8, 0}, {24, 8, 0}, {24, 16, 0}, {16, 16, 0}, {16, 24, 0}, {8, 24, 0}};
    EXPECT_TRUE(v3d::insidePolygon(Vec3(12, 20, 3), ell, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(20, 20, 3), ell, kAlongZ, kRight));
    // Seen along the view, the depth of the point does not matter.
    EXPECT_TRUE(v3d::insidePolygon(Vec3(20, 12, -40), ell, kAlongZ, kRight));
}

TEST(PolygonTest, RepeatedPointsAndDegenerateOutlinesEncloseNothingExtra)
{
    const std::vector<Vec3> repeated{{8, 8, 0}, {8, 8, 0}, {24, 8, 0}, {24, 24, 0}, {8, 24, 0}, {8, 24, 0}};
    EXPECT_TRUE(v3d::insidePolygon(Vec3(16, 16, 7), repeated, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(2, 16, 7), repeated, kAlongZ, kRight));
    const std::vector<Vec3> segment{{8, 16, 0}, {24, 16, 0}};
    EXPECT_FALSE(v3d::insidePolygon(Vec3(16, 16, 7), segment, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(16, 16, 7), {Vec3(8, 8, 0)}, kAlongZ, kRight));
    EXPECT_FALSE(v3d::insidePolygon(Vec3(16, 16, 7), {}, kAlongZ, kRight));
}

TEST(RegionCut, BarrierBlockCoversTheCellClippedToTheGrid)
{
    SegmentVolume v(kN, kN, kN, everywhere);
    Segmenter segmenter(*v);
    EXPECT_TRUE(segmenter.markBarrierBlock(4.7f, 5.2f, 6.9f));
    for (int k : {6, 7})
        for (int j : {5, 6})
            for (int i : {4, 5})
                EXPECT_EQ(v.mask(i, j, k), v3d::kBarrier);
    EXPECT_NE(v.mask(6, 5, 6), v3d::kBarrier);
    EXPECT_TRUE(segmenter.markBarrierBlock(kN - 0.5f, kN - 0.5f, -0.5f));
    EXPECT_EQ(v.mask(kN - 1, kN - 1, 0), v3d::kBarrier);
    EXPECT_EQ(v.mask(kN - 1, kN - 1, 1), v3d::kBarrier);
    for (const Vec3& p : {Vec3(kN, 3, 3), Vec3(3, -1, 3), Vec3(3, 3, NAN), Vec3(3, 3, 1e20f)})
        EXPECT_FALSE(segmenter.markBarrierBlock(p.x, p.y, p.z));
}

TEST(RegionCut, KeepsTheInsideOfASquareThroughTheWholeDepth)
{
    SegmentVolume v(kN, kN, kN, everywhere);
    const auto classified = v.maskCopy();
    Segmenter segmenter(*v);
    v3d::cutAlongOutline(segmenter, kSquare, kAlongZ, kRight, kStartDepth, kDepthRange, true);
    for (int k : {0, 16, kN - 1}) {
        EXPECT_TRUE(v.kept(16, 16, k)) << k;
        EXPECT_TRUE(v.kept(11, 21, k)) << k;
        EXPECT_FALSE(v.kept(2, 2, k)) << k;
        EXPECT_FALSE(v.kept(28, 16, k)) << k;
        EXPECT_FALSE(v.kept(16, 28, k)) << k;
    }
    // Every voxel is kept and unmarked or hidden and marked; the barrier
    // itself ends hidden with its class.
    const auto after = v.maskCopy();
    for (size_t i = 0; i < after.size(); ++i) {
        const bool kept = after[i] & v3d::kKeptBit, marked = after[i] & v3d::kMarkedBit;
        ASSERT_NE(kept, marked) << i;
        ASSERT_EQ(after[i] & v3d::kClassBitsMask, classified[i] & v3d::kClassBitsMask) << i;
    }
    EXPECT_FALSE(v.kept(8, 16, 16));
    // The clip box closes in around the square.
    EXPECT_GT(v->boundaryPoints[3].x, 3.5f);
    EXPECT_LT(v->boundaryPoints[2].x, kN - 4.5f);
    EXPECT_EQ(v->boundaryPoints[0].z, 3.5f);
}

TEST(RegionCut, RemovesTheInsideWithTheKeepFlagOff)
{
    SegmentVolume v(kN, kN, kN, everywhere);
    Segmenter segmenter(*v);
    v3d::cutAlongOutline(segmenter, kSquare, kAlongZ, kRight, kStartDepth, kDepthRange, false);
    EXPECT_FALSE(v.kept(16, 16, 16));
    EXPECT_TRUE(v.kept(2, 2, 16));
    EXPECT_TRUE(v.kept(28, 28, 16));
}

TEST(RegionCut, OutlineEnclosingNothingKeepsAllOrHidesAll)
{
    // Two points: a barrier sheet that cuts nothing out, around which
    // every voxel is one part, and outside the outline.
    const std::vector<Vec3> line{{8, 16, 0}, {24, 16, 0}};
    SegmentVolume v(kN, kN, kN, everywhere);
    const auto classified = v.maskCopy();
    Segmenter segmenter(*v);
    v3d::cutAlongOutline(segmenter, line, kAlongZ, kRight, kStartDepth, kDepthRange, false);
    const auto after = v.maskCopy();
    size_t hidden = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        ASSERT_EQ(after[i] & v3d::kClassBitsMask, classified[i] & v3d::kClassBitsMask) << i;
        hidden += (after[i] & v3d::kKeptBit) ? 0 : 1;
    }
    // Only the barrier: rows 16 and 17, x 8 .. 24 (the blocks reach one
    // further), every slice.
    EXPECT_EQ(hidden, size_t(2 * 18 * kN));
    EXPECT_FALSE(v.kept(16, 16, 5));
    EXPECT_TRUE(v.marked(16, 16, 5));
    EXPECT_TRUE(v.kept(16, 18, 5));
    EXPECT_TRUE(centreRayHits(*v));

    segmenter.resetSegmentation();
    v3d::cutAlongOutline(segmenter, line, kAlongZ, kRight, kStartDepth, kDepthRange, true);
    EXPECT_EQ(v.keptCount(), 0u);
    EXPECT_GT(v->boundaryPoints[3].x, v->boundaryPoints[2].x);
    EXPECT_FALSE(centreRayHits(*v));
}

TEST(RegionCut, VoxelsHiddenEarlierStayHidden)
{
    SegmentVolume v(kN, kN, kN, [](int i, int j, int k) {
        return i >= 12 && i <= 18 && j >= 12 && j <= 18 && k >= 12 && k <= 18 ? 2000 : 1000;
    });
    Segmenter segmenter(*v);
    const std::vector<v3d::SegmentPlane> none;
    ASSERT_TRUE(segmenter.floodFromPoint(15, 15, 15, false, false, none, 1500, 2500));
    ASSERT_FALSE(v.kept(15, 15, 15));
    v3d::cutAlongOutline(segmenter, kSquare, kAlongZ, kRight, kStartDepth, kDepthRange, true);
    EXPECT_FALSE(v.kept(15, 15, 15));
    EXPECT_TRUE(v.marked(15, 15, 15));
    EXPECT_TRUE(v.kept(10, 10, 10));
}

}  // namespace
