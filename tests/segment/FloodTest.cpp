// Flood fills from a picked point: what they keep, remove, erode, dilate and
// leave alone, the clip box they leave, and the reset.
#include "SegmentFixture.h"

#include "render/RenderWorkspace.h"
#include "segment/OutlineCut.h"
#include "segment/Segmenter.h"
#include "view/CutPlaneSet.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace v3d;

using v3d::FillMethod;
using v3d::SegmentPlane;
using v3d::Segmenter;

namespace {

constexpr int kN = 32;
constexpr int kAir = 0;
constexpr int kSoft = 1000;
constexpr int kBone = 2000;
constexpr int kLow = 500;   // soft tissue and bone qualify
constexpr int kHigh = 2500;

bool within(int v, int lo, int hi) { return v >= lo && v <= hi; }

// A cube of soft tissue at 10..17 in air.
int cube(int i, int j, int k)
{
    return within(i, 10, 17) && within(j, 10, 17) && within(k, 10, 17) ? kSoft : kAir;
}

const std::vector<SegmentPlane> kNoPlanes;

// Voxels outside the cube that are a lower neighbour (x - 1, y - 1, z - 1
// and their combinations) of exactly one cube voxel each.
const std::array<int, 3> kLowerNeighbours[] = {{9, 17, 17}, {17, 9, 17}, {17, 17, 9}, {9, 9, 17},
                                                {9, 17, 9},  {17, 9, 9},  {9, 9, 9},  {9, 13, 13}};

// Whether the ray from (16, 16, -10) along z enters the clip box.
bool centreRayHits(const CVolume& volume)
{
    RenderWorkspace workspace;
    CutPlaneSet planes;
    planes.clipRay(volume, workspace, false, 0, 0, Vec3(16, 16, -10), Vec3(0, 0, 1));
    return workspace.entryDistance[0] >= 0.0f;
}

TEST(Flood, FromCellWithoutQualifyingValueChangesNothing)
{
    SegmentVolume v(kN, kN, kN, cube);
    const auto before = v.maskCopy();
    Segmenter segmenter(*v);
    // Keep mode first: it would hide everything before filling.
    EXPECT_FALSE(segmenter.floodFromPoint(3.5f, 3.5f, 3.5f, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_FALSE(segmenter.floodFromPoint(3.5f, 3.5f, 3.5f, false, false, kNoPlanes, kLow, kHigh));
    // Inside the cube, but the range holds no value of it.
    EXPECT_FALSE(segmenter.floodFromPoint(13.5f, 13.5f, 13.5f, true, false, kNoPlanes, kBone, kHigh));
    EXPECT_EQ(v.maskCopy(), before);
    EXPECT_TRUE(centreRayHits(*v));
}

TEST(Flood, PointOutsideTheGridChangesNothing)
{
    SegmentVolume v(kN, kN, kN, [](int, int, int) { return kSoft; });
    const auto before = v.maskCopy();
    Segmenter segmenter(*v);
    for (const Vec3& p : {Vec3(kN - 1.5f, 5, 5), Vec3(5, kN - 1.5f, 5), Vec3(5, 5, kN - 1.5f),
                          Vec3(-1.0f, 5, 5), Vec3(5, -1.5f, 5), Vec3(NAN, 5, 5),
                          Vec3(5, 5, INFINITY), Vec3(5, 5, -1e30f)})
        EXPECT_FALSE(segmenter.floodFromPoint(p.x, p.y, p.z, true, false, kNoPlanes, kLow, kHigh))
            << p.x << " " << p.y << " " << p.z;
    EXPECT_EQ(v.maskCopy(), before);
    // The last cell of the grid still counts.
    EXPECT_TRUE(segmenter.floodFromPoint(kN - 2.0f, kN - 2.0f, kN - 2.0f, true, false, kNoPlanes,
                                         kLow, kHigh));
}

TEST(Flood, SeedIsTheFirstQualifyingCornerOfTheCell)
{
    // Of the cell at 9..10 only the far corner (10, 10, 10) is in the cube.
    SegmentVolume v(kN, kN, kN, cube);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(9.5f, 9.5f, 9.5f, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_TRUE(v.kept(13, 13, 13));
    EXPECT_FALSE(v.kept(3, 3, 3));

    // Two objects meet the cell at (5, 5, 5) only diagonally: the lowest
    // corner in z, then y, then x decides.
    SegmentVolume w(kN, kN, kN, [](int i, int j, int k) {
        return (i == 5 && j == 5 && k == 5) || (within(i, 6, 12) && within(j, 6, 12) && within(k, 6, 12))
            ? kSoft : kAir;
    });
    Segmenter other(*w);
    ASSERT_TRUE(other.floodFromPoint(5.5f, 5.5f, 5.5f, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_TRUE(w.kept(5, 5, 5));
    EXPECT_FALSE(w.kept(10, 10, 10));
}

TEST(Flood, RemoveErodesOneVoxelTowardLowerIndices)
{
    SegmentVolume v(kN, kN, kN, cube);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(13, 13, 13, false, false, kNoPlanes, kLow, kHigh));
    EXPECT_FALSE(v.kept(13, 13, 13));
    EXPECT_TRUE(v.marked(13, 13, 13));
    // The air just below the cube in x, y and z goes with it ...
    for (const auto& p : kLowerNeighbours) {
        EXPECT_FALSE(v.kept(p[0], p[1], p[2])) << p[0] << " " << p[1] << " " << p[2];
        EXPECT_TRUE(v.marked(p[0], p[1], p[2]));
    }
    // ... one voxel deep, and the air above it stays.
    for (const auto& p : {std::array<int, 3>{8, 13, 13}, {13, 13, 8}, {18, 13, 13}, {13, 18, 13},
                          {13, 13, 18}, {18, 18, 18}}) {
        EXPECT_TRUE(v.kept(p[0], p[1], p[2])) << p[0] << " " << p[1] << " " << p[2];
        EXPECT_FALSE(v.marked(p[0], p[1], p[2]));
    }
}

TEST(Flood, KeepDilatesOneVoxelTowardLowerIndicesAndBoxesTheObject)
{
    SegmentVolume v(kN, kN, kN, cube);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(13, 13, 13, true, false, kNoPlanes, kLow, kHigh));
    for (const auto& p : kLowerNeighbours)
        EXPECT_TRUE(v.kept(p[0], p[1], p[2]) && !v.marked(p[0], p[1], p[2]))
            << p[0] << " " << p[1] << " " << p[2];
    for (const auto& p : {std::array<int, 3>{13, 13, 13}, {17, 17, 17}})
        EXPECT_TRUE(v.kept(p[0], p[1], p[2]) && !v.marked(p[0], p[1], p[2]))
            << p[0] << " " << p[1] << " " << p[2];
    for (const auto& p : {std::array<int, 3>{8, 13, 13}, {13, 8, 13}, {13, 13, 8}, {18, 13, 13},
                          {13, 18, 13}, {13, 13, 18}, {3, 3, 3}})
        EXPECT_TRUE(!v.kept(p[0], p[1], p[2]) && v.marked(p[0], p[1], p[2]))
            << p[0] << " " << p[1] << " " << p[2];
    // Spans box x from the first index beyond each end (9 and 18), y and z
    // from the rows taken (10 .. 17); three voxels of margin.
    const CVolume& volume = *v;
    EXPECT_EQ(volume.boundaryPoints[3].x, 6.0f);
    EXPECT_EQ(volume.boundaryPoints[2].x, 21.0f);
    EXPECT_EQ(volume.boundaryPoints[4].y, 7.0f);
    EXPECT_EQ(volume.boundaryPoints[5].y, 20.0f);
    EXPECT_EQ(volume.boundaryPoints[0].z, 7.0f);
    EXPECT_EQ(volume.boundaryPoints[1].z, 20.0f);
    EXPECT_EQ(volume.boundaryPoints[0].x, 16.0f);
    EXPECT_EQ(volume.boundaryNormals[0].z, -1.0f);
}

// A bar of soft tissue along x with a ball of bone on top of its middle.
int barWithBall(int i, int j, int k)
{
    if (within(i, 4, 27) && within(j, 8, 12) && within(k, 8, 12))
        return kSoft;
    if (within(i, 13, 17) && within(j, 13, 17) && within(k, 8, 12))
        return kBone;
    return kAir;
}

TEST(Flood, RemoveThenKeepLeavesTheRemovedVoxelsHidden)
{
    SegmentVolume v(kN, kN, kN, barWithBall);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(15, 15, 10, false, false, kNoPlanes, kBone, kHigh));
    EXPECT_FALSE(v.kept(15, 15, 10));
    EXPECT_TRUE(v.kept(6, 10, 10));
    // The keep range takes bone too, and the ball touches the bar.
    ASSERT_TRUE(segmenter.floodFromPoint(6, 10, 10, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_TRUE(v.kept(6, 10, 10));
    EXPECT_TRUE(v.kept(25, 10, 10));
    for (int j = 13; j <= 17; ++j)
        EXPECT_FALSE(v.kept(15, j, 10)) << j;
    EXPECT_FALSE(v.kept(3, 3, 3));
}

TEST(Flood, BoundByACutPlaneStopsOneUnitBeyondIt)
{
    SegmentVolume v(kN, kN, kN, [](int i, int j, int k) {
        return within(i, 2, 29) && within(j, 10, 14) && within(k, 10, 14) ? kSoft : kAir;
    });
    // The normal points to the removed side: x above 15.
    const std::vector<SegmentPlane> planes{{Vec3(15, 16, 16), Vec3(1, 0, 0)}};
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(5, 12, 12, true, true, planes, kLow, kHigh));
    EXPECT_TRUE(v.kept(5, 12, 12));
    EXPECT_TRUE(v.kept(15, 12, 12));
    EXPECT_FALSE(v.kept(16, 12, 12));
    EXPECT_FALSE(v.kept(20, 12, 12));

    // Not bound: the planes do not matter.
    segmenter.resetSegmentation();
    ASSERT_TRUE(segmenter.floodFromPoint(5, 12, 12, true, false, planes, kLow, kHigh));
    EXPECT_TRUE(v.kept(20, 12, 12));

    // Remove mode: the part beyond the plane stays.
    segmenter.resetSegmentation();
    ASSERT_TRUE(segmenter.floodFromPoint(5, 12, 12, false, true, planes, kLow, kHigh));
    EXPECT_FALSE(v.kept(15, 12, 12));
    EXPECT_TRUE(v.kept(16, 12, 12));
}

TEST(Flood, KeepFromASeedThatCannotBeTakenHidesEverythingAndEveryRayMisses)
{
    SegmentVolume v(kN, kN, kN, cube);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(13, 13, 13, false, false, kNoPlanes, kLow, kHigh));
    ASSERT_TRUE(centreRayHits(*v));
    // The picked cell was hidden by the removal: a keep flood from the point
    // has no corner to start from and changes nothing ...
    const size_t keptBefore = v.keptCount();
    EXPECT_FALSE(segmenter.floodFromPoint(13, 13, 13, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_EQ(v.keptCount(), keptBefore);
    // ... while a keep fill from the hidden voxel itself takes nothing.
    ASSERT_TRUE(segmenter.floodFill(13, 13, 13, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_EQ(v.keptCount(), 0u);
    const CVolume& volume = *v;
    EXPECT_GT(volume.boundaryPoints[3].x, volume.boundaryPoints[2].x);
    EXPECT_GT(volume.boundaryPoints[4].y, volume.boundaryPoints[5].y);
    EXPECT_GT(volume.boundaryPoints[0].z, volume.boundaryPoints[1].z);
    EXPECT_FALSE(centreRayHits(*v));
}

TEST(Flood, PostPassesLeaveTheOuterLayersAlone)
{
    // Everything qualifies: the removal hides the whole grid.
    SegmentVolume v(kN, kN, kN, [](int, int, int) { return kSoft; });
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(5, 5, 5, false, false, kNoPlanes, kLow, kHigh));
    EXPECT_EQ(v.keptCount(), 0u);
    // The inner grid is marked, and index 0 as the lower neighbour of 1 ...
    EXPECT_TRUE(v.marked(1, 5, 5));
    EXPECT_TRUE(v.marked(kN - 3, 5, 5));
    EXPECT_TRUE(v.marked(0, 5, 5));
    // ... but the last two layers are never visited.
    for (int last : {kN - 2, kN - 1}) {
        EXPECT_FALSE(v.marked(last, 5, 5)) << last;
        EXPECT_FALSE(v.marked(5, last, 5)) << last;
        EXPECT_FALSE(v.marked(5, 5, last)) << last;
    }
    // Nothing inner stayed: the box is empty.
    EXPECT_FALSE(centreRayHits(*v));

    // Keep mode: the outer voxels of a kept object stay kept and unmarked,
    // the voxels hidden there stay unmarked.
    SegmentVolume w(kN, kN, kN, [](int i, int, int) { return i >= 20 ? kSoft : kAir; });
    Segmenter keeper(*w);
    ASSERT_TRUE(keeper.floodFromPoint(25, 5, 5, true, false, kNoPlanes, kLow, kHigh));
    EXPECT_TRUE(w.kept(kN - 1, 5, 5) && !w.marked(kN - 1, 5, 5));
    EXPECT_TRUE(w.kept(kN - 2, 5, 5) && !w.marked(kN - 2, 5, 5));
    EXPECT_TRUE(!w.kept(10, 5, 5) && w.marked(10, 5, 5));
    EXPECT_TRUE(!w.kept(10, kN - 1, 5) && !w.marked(10, kN - 1, 5));
    EXPECT_TRUE(!w.kept(10, 5, kN - 2) && !w.marked(10, 5, kN - 2));
}

// Two objects far apart, a slab at slice 0 under one of them.
int slabUnderTower(int i, int j, int k)
{
    if (k == 0 && within(i, 4, 14) && within(j, 4, 14))
        return kSoft;  // the slab, removed first
    if (within(k, 1, 20) && within(i, 6, 10) && within(j, 6, 10))
        return kBone;  // the tower standing on it
    if (within(k, 8, 20) && within(i, 20, 26) && within(j, 20, 26))
        return kBone;  // the object removed second
    return kAir;
}

TEST(Flood, RemovalDoesNotSpreadFromVoxelsAnEarlierFloodHidInTheOuterLayers)
{
    SegmentVolume v(kN, kN, kN, slabUnderTower);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(12, 12, 0, false, false, kNoPlanes, kLow, kBone));
    ASSERT_FALSE(v.kept(12, 12, 0));
    ASSERT_TRUE(v.kept(8, 8, 5));
    // The tower is bone like the second object but not connected to it.
    ASSERT_TRUE(segmenter.floodFromPoint(23, 23, 12, false, false, kNoPlanes, kBone, kHigh));
    EXPECT_FALSE(v.kept(23, 23, 12));
    EXPECT_TRUE(v.kept(8, 8, 5));
    EXPECT_TRUE(v.kept(8, 8, 1));
}

TEST(Segmentation, ResetAfterAnySequenceRestoresEveryClass)
{
    SegmentVolume v(kN, kN, kN, barWithBall);
    const auto classified = v.maskCopy();
    Vec3 points[6];
    std::copy(std::begin(v->boundaryPoints), std::end(v->boundaryPoints), points);
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(15, 15, 10, false, false, kNoPlanes, kBone, kHigh));
    ASSERT_TRUE(segmenter.floodFromPoint(6, 10, 10, true, false, kNoPlanes, kLow, kHigh));
    // A region cut along z whose barrier crosses the bar.
    const std::vector<Vec3> outline{{2, 2, 0}, {20, 2, 0}, {20, 29, 0}, {2, 29, 0}};
    v3d::cutAlongOutline(segmenter, outline, Vec3(0, 0, 1), Vec3(1, 0, 0), -5.0f, 45, true);
    ASSERT_NE(v.maskCopy(), classified);

    segmenter.resetSegmentation();
    const auto reset = v.maskCopy();
    ASSERT_EQ(reset.size(), classified.size());
    for (size_t i = 0; i < reset.size(); ++i)
        ASSERT_EQ(reset[i], uint8_t((classified[i] & v3d::kClassBitsMask) | v3d::kKeptBit)) << i;
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(v->boundaryPoints[k], points[k]) << k;
    }
}

}  // namespace

namespace {

// The value range's upper bound is exclusive in every span rule: a wall of
// exactly the upper bound stops keep and remove floods alike, with cut
// planes bounding the flood (everything on their kept side) or without.
TEST(Flood, WallAtExactlyTheUpperBoundStopsEveryFlood)
{
    auto walled = [](int i, int j, int k) {
        const bool inside = j >= 10 && j <= 17 && k >= 10 && k <= 17;
        if (!inside || i < 10 || i > 20) return kAir;
        return i == 18 ? kHigh : kHigh - 1;
    };
    const std::vector<SegmentPlane> farPlane{{Vec3(1000, 0, 0), Vec3(1, 0, 0)}};
    for (const bool bound : {false, true}) {
        for (const bool keep : {true, false}) {
            SegmentVolume v(kN, kN, kN, walled);
            Segmenter segmenter(*v);
            ASSERT_TRUE(segmenter.floodFromPoint(12, 12, 12, keep, bound, bound ? farPlane : kNoPlanes, kLow, kHigh));
            EXPECT_EQ(v.kept(12, 13, 13), keep) << bound << keep;
            EXPECT_EQ(v.kept(18, 13, 13), !keep) << "the wall " << bound << keep;
            EXPECT_EQ(v.kept(19, 13, 13), !keep) << "behind the wall " << bound << keep;
        }
    }
}

}  // namespace

namespace {

// A kept object that fills the grid leaves the clip box at its limits:
// 3.5 voxels in from the low faces and 4.5 from the high ones, where the
// last cells' corners end.
TEST(Flood, KeptGridLeavesTheClipBoxAtItsLimits)
{
    SegmentVolume v(kN, kN, kN, [](int, int, int) { return kSoft; });
    Segmenter segmenter(*v);
    ASSERT_TRUE(segmenter.floodFromPoint(5, 5, 5, true, false, kNoPlanes, kLow, kHigh));
    const CVolume& volume = *v;
    const float high = kN - 4.5f, low = 3.5f;
    EXPECT_EQ(volume.boundaryPoints[0].z, low);
    EXPECT_EQ(volume.boundaryPoints[1].z, high);
    EXPECT_EQ(volume.boundaryPoints[2].x, high);
    EXPECT_EQ(volume.boundaryPoints[3].x, low);
    EXPECT_EQ(volume.boundaryPoints[4].y, low);
    EXPECT_EQ(volume.boundaryPoints[5].y, high);
}

}  // namespace
