#include "render/BoxTests.h"
#include "render/CutPlane.h"
#include "render/math/PlaneMath.h"
#include "render/WireModel.h"
#include "volume/CVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace v3d;

namespace {

void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}


} // namespace

TEST(PlaneMath, RayPlaneHitsOnlyAhead)
{
    Vec3 hit;
    EXPECT_TRUE(intersectRayPlane({0, 0, 0}, {0, 0, 2}, {0, 0, 5}, {0, 0, 1}, hit));
    EXPECT_EQ(hit, Vec3(0, 0, 5));
    EXPECT_FALSE(intersectRayPlane({1, 2, 3}, {0, 0, -1}, {0, 0, 5}, {0, 0, 1}, hit));
    EXPECT_EQ(hit, Vec3(1, 2, 3));
    // Parallel: a hit only when the ray lies in the plane.
    EXPECT_TRUE(intersectRayPlane({1, 2, 5}, {1, 0, 0}, {0, 0, 5}, {0, 0, 1}, hit));
    EXPECT_FALSE(intersectRayPlane({1, 2, 4}, {1, 0, 0}, {0, 0, 5}, {0, 0, 1}, hit));
}

TEST(PlaneMath, LinePlaneReportsSideAndNegativeT)
{
    bool entering = false;
    float t = 0;
    Vec3 hit;
    ASSERT_TRUE(intersectLinePlane({0, 0, 10}, {0, 0, 1}, {0, 0, 5}, {0, 0, 1}, entering, t, hit));
    EXPECT_FALSE(entering);
    EXPECT_FLOAT_EQ(t, -5);
    EXPECT_EQ(hit, Vec3(0, 0, 5));
    ASSERT_TRUE(intersectLinePlane({0, 0, 10}, {0, 0, -1}, {0, 0, 5}, {0, 0, 1}, entering, t, hit));
    EXPECT_TRUE(entering);
    // Parallel lines fail; entering then tells whether the start is on the
    // normal's (removed) side.
    EXPECT_FALSE(intersectLinePlane({0, 0, 10}, {1, 0, 0}, {0, 0, 5}, {0, 0, 1}, entering, t, hit));
    EXPECT_TRUE(entering);
    EXPECT_FALSE(intersectLinePlane({0, 0, 1}, {1, 0, 0}, {0, 0, 5}, {0, 0, 1}, entering, t, hit));
    EXPECT_FALSE(entering);
    EXPECT_EQ(t, 0.0f);
}

TEST(CutPlane, RecentreFallsBackToTheFootOfThePerpendicular)
{
    CutPlane ahead({0, 0, 0}, {5, 3, 2}, {2, 0, 0});
    ahead.recentre(nullptr);
    expectNear(ahead.normal, Vec3(1, 0, 0));
    expectNear(ahead.point, Vec3(5, 0, 0));
    // The plane lies against the normal from the anchor: found with -normal.
    CutPlane behind({0, 0, 0}, {-5, 3, 2}, {1, 0, 0});
    behind.recentre(nullptr);
    expectNear(behind.point, Vec3(-5, 0, 0));
    // Through the anchor: the point stays where it was.
    CutPlane through({0, 0, 0}, {0, 3, 2}, {1, 0, 0});
    through.recentre(nullptr);
    EXPECT_EQ(through.point, Vec3(0, 3, 2));
}

TEST(CutPlane, RecentreTakesTheSectionCentreWhenThereIsOne)
{
    CutPlane plane({0, 0, 0}, {1, 1, 1}, {0, 0, 3});
    const Vec3 centre(7, 8, 9);
    plane.recentre(&centre);
    EXPECT_EQ(plane.point, Vec3(7, 8, 9));
    // The centre replaces the point and nothing more happens.
    EXPECT_EQ(plane.normal, Vec3(0, 0, 3));
    plane.translate({0, 0, 1});
    plane.recentre(nullptr);
    expectNear(plane.point, Vec3(0, 0, 10));
}

TEST(CutPlane, HandlesSpanThePlaneForEveryNormal)
{
    const std::vector<Vec3> normals = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0},
                                       {0, 0, 1}, {0, 0, -1}, normalised(Vec3(-1, -1, 0.1f)),
                                       normalised(Vec3(1, 2, 3))};
    for (const Vec3& n : normals) {
        const CutPlane plane({0, 0, 0}, {0, 0, 0}, n);
        Vec3 h1, h2;
        plane.handles(h1, h2);
        const Vec3 a = h1 - plane.point, b = h2 - plane.point;
        EXPECT_NEAR(length(a), 100, 1e-3f) << n.x << " " << n.y << " " << n.z;
        EXPECT_NEAR(length(b), 100, 1e-3f);
        EXPECT_NEAR(dot(a, n), 0, 1e-3f);
        EXPECT_NEAR(dot(b, n), 0, 1e-3f);
        EXPECT_NEAR(dot(a, b), 0, 1e-2f);
    }
}

TEST(CutPlane, IntersectWithPlaneGivesTheCommonLine)
{
    const CutPlane plane({0, 0, 0}, {0, 0, 0}, {0, 0, 1});
    Vec3 point, direction;
    ASSERT_TRUE(plane.intersectWithPlane({2, 0, 0}, {1, 0, 0}, point, direction));
    EXPECT_NEAR(point.x, 2, 1e-4f);
    EXPECT_NEAR(point.z, 0, 1e-4f);
    expectNear(direction, Vec3(0, 1, 0));
    EXPECT_FALSE(plane.intersectWithPlane({0, 0, 4}, {0, 0, -1}, point, direction));
}

TEST(CutPlane, NormalFromVectorsIsRelativeToThePoint)
{
    CutPlane plane({0, 0, 0}, {0, 0, 0}, {1, 0, 0});
    plane.point = {1, 1, 1};
    Vec3 a(3, 1, 1), b(1, 4, 1);
    plane.setNormalFromVectors(a, b);
    EXPECT_EQ(a, Vec3(2, 0, 0));
    EXPECT_EQ(b, Vec3(0, 3, 0));
    expectNear(plane.normal, Vec3(0, 0, 1));
}

TEST(BoxTests, ClipBoxBoundsAreInclusive)
{
    std::vector<uint16_t> values(20 * 20 * 20, 0);
    CVolume volume;
    ASSERT_TRUE(volume.build(20, 20, 20, values.data(), nullptr, 1, 1, 1, {}, {1, 0, 0},
                             {0, 1, 0}, {0, 0, 1}));
    // Planes at 3.5 and 20 - 4.5 on every axis.
    EXPECT_TRUE(inside(volume, {3.5f, 15.5f, 10}));
    EXPECT_FALSE(inside(volume, {3.4f, 10, 10}));
    EXPECT_FALSE(inside(volume, {10, 10, 15.6f}));
    EXPECT_TRUE(insideWithMargin(volume, {1.5f, 17.5f, 10}, 2));
    EXPECT_FALSE(insideWithMargin(volume, {1.4f, 10, 10}, 2));
    // A face ignores the coordinate across it.
    EXPECT_TRUE(insideFace(volume, {10, 10, 100}, 0));
    EXPECT_FALSE(insideFace(volume, {100, 10, 10}, 1));
    EXPECT_TRUE(insideFace(volume, {100, 10, 10}, 2));
    EXPECT_FALSE(insideFace(volume, {10, 100, 10}, 3));
    EXPECT_TRUE(insideFace(volume, {10, 100, 10}, 5));
    EXPECT_FALSE(insideFace(volume, {10, 10, 100}, 4));
}

TEST(BoxTests, IndexAndVolumeSpaceRoundTrip)
{
    std::vector<uint16_t> values(8 * 8 * 8, 0);
    CVolume volume;
    ASSERT_TRUE(volume.build(8, 8, 8, values.data(), nullptr, 0.5f, 0.5f, 2.0f, {}, {1, 0, 0},
                             {0, 1, 0}, {0, 0, 1}));
    expectNear(toVolumeSpace(volume, {1, 1, 1}), Vec3(1, 1, 4));
    expectNear(toIndexSpace(volume, toVolumeSpace(volume, {3, 2, 1})), Vec3(3, 2, 1));
}

TEST(WireModel, ProjectsEdgesWithOptionalPerspective)
{
    const WireModel model({{0, 0, 0}, {10, 10, 10}}, {{0, 1}}, {0, 0, -1});
    EXPECT_EQ(model.edgeCount(), 1);
    EXPECT_EQ(model.getFacingNormal(), Vec3(0, 0, -1));
    Vec3 a, b;
    ASSERT_TRUE(model.projectEdge(0, Mat3::identity(), 0, a, b));
    EXPECT_EQ(b, Vec3(10, 10, 10));
    ASSERT_TRUE(model.projectEdge(0, Mat3::identity(), 90, a, b));
    EXPECT_FLOAT_EQ(b.x, 9);
    EXPECT_FLOAT_EQ(b.y, 9);
    EXPECT_FALSE(model.projectEdge(1, Mat3::identity(), 0, a, b));
}
