// Cut-plane list upkeep and the per-pixel clipping of rays.
#include "ViewFixture.h"
#include "render/BoxTests.h"


#include <gtest/gtest.h>

using namespace v3d;

namespace {

class Clipping : public ::testing::Test {
protected:

    // Clips one ray as pixel (0, 0) and answers its entries.
    void clip(const Vec3& origin, const Vec3& direction) {
        fixture.view.clipRay(0, 0, origin, normalised(direction));
    }
    float entry() const { return fixture.view.m_workspace->entryDistance[0]; }
    float exit() const { return fixture.view.m_workspace->exitDistance[0]; }
    int surface() const { return fixture.view.m_workspace->entrySurface[0]; }
    void addPlane(const Vec3& point, const Vec3& normal) {
        ASSERT_TRUE(fixture.view.changePlanes().add(fixture.ball.volume, fixture.ball.volume.halfSize(), point, normal));
    }

    ViewFixture fixture;
};

TEST_F(Clipping, OriginInsideOnTheKeptSideStartsAtTheOrigin) {
    addPlane(Vec3(40, 24, 24), Vec3(1, 0, 0));
    clip(Vec3(24, 24, 24), Vec3(0, 0, 1));
    EXPECT_EQ(entry(), 0.0f);
    EXPECT_EQ(surface(), -8);
    EXPECT_NEAR(exit(), 43.5f - 24.0f, 1e-4f);
}

TEST_F(Clipping, RayFromOutsideEntersThroughABoxFace) {
    clip(Vec3(24, 24, -10), Vec3(0, 0, 1));
    EXPECT_NEAR(entry(), 13.5f, 1e-4f);
    EXPECT_EQ(surface(), 0 - 7) << "face 0 (the low z face)";
    EXPECT_NEAR(exit(), 53.5f, 1e-4f);
}

TEST_F(Clipping, RayMissingTheBoxIsAMiss) {
    clip(Vec3(-10, -10, -10), Vec3(-1, 0, 0));
    EXPECT_LT(entry(), 0.0f);
    EXPECT_EQ(surface(), -8);
}

TEST_F(Clipping, RayParallelToAPlaneOnItsRemovedSideIsAMiss) {
    addPlane(Vec3(20, 24, 24), Vec3(1, 0, 0));  // removes x > 20
    clip(Vec3(30, 24, -10), Vec3(0, 0, 1));
    EXPECT_LT(entry(), 0.0f);
}

TEST_F(Clipping, RayParallelToAPlaneOnItsKeptSideIsUnaffected) {
    addPlane(Vec3(20, 24, 24), Vec3(1, 0, 0));
    clip(Vec3(10, 24, -10), Vec3(0, 0, 1));
    EXPECT_NEAR(entry(), 13.5f, 1e-4f);
    EXPECT_NEAR(exit(), 53.5f, 1e-4f);
}

TEST_F(Clipping, EnteringCutPlaneInFrontMovesTheEntry) {
    addPlane(Vec3(24, 24, 20), Vec3(0, 0, -1));  // removes z < 20
    clip(Vec3(24, 24, -10), Vec3(0, 0, 1));
    EXPECT_NEAR(entry(), 30.0f, 1e-4f);
    EXPECT_EQ(surface(), 0);
}

TEST_F(Clipping, EnteringHitBehindTheOriginDoesNotMoveTheEntry) {
    addPlane(Vec3(24, 24, 10), Vec3(0, 0, -1));  // removes z < 10; the origin at z 24 is kept
    clip(Vec3(24, 24, 24), Vec3(0, 0, 1));
    EXPECT_EQ(entry(), 0.0f);
    EXPECT_EQ(surface(), -8);
}

TEST_F(Clipping, LeavingCutPlaneShortensTheExitAndBehindTheEntryMisses) {
    addPlane(Vec3(24, 24, 30), Vec3(0, 0, 1));  // removes z > 30
    clip(Vec3(24, 24, -10), Vec3(0, 0, 1));
    EXPECT_NEAR(exit(), 40.0f, 1e-4f);
    fixture.view.deleteAllCutPlanes();
    addPlane(Vec3(24, 24, 2), Vec3(0, 0, 1));  // removes everything past z 2, before the box
    clip(Vec3(24, 24, -10), Vec3(0, 0, 1));
    EXPECT_LT(entry(), 0.0f);
}

TEST_F(Clipping, SelectedPlaneDistanceOnlyInCutPlaneMode) {
    addPlane(Vec3(24, 24, 30), Vec3(0, 0, 1));
    clip(Vec3(24, 24, -10), Vec3(0, 0, 1));
    EXPECT_EQ(fixture.view.m_workspace->selectedPlaneDistance[0], -10.0f);
    fixture.view.m_bCutPlaneMode = true;
    clip(Vec3(24, 24, -10), Vec3(0, 0, 1));
    EXPECT_NEAR(fixture.view.m_workspace->selectedPlaneDistance[0], 40.0f, 1e-4f);
}

TEST_F(Clipping, DeletingTheSelectedPlaneSelectsTheNextOrThePrevious) {
    for (float z : {10.0f, 20.0f, 30.0f}) addPlane(Vec3(24, 24, z), Vec3(0, 0, 1));
    CutPlaneSet& planes = fixture.view.changePlanes();
    const Vec3 third = planes.at(2)->normal;
    planes.m_iSelectedCutPlane = 1;
    planes.deleteSelectedCutPlane();
    EXPECT_EQ(planes.m_iNumCutPlanes, 2);
    EXPECT_EQ(planes.m_iSelectedCutPlane, 1);
    EXPECT_EQ(planes.at(1)->normal, third);
    planes.deleteSelectedCutPlane();
    EXPECT_EQ(planes.m_iNumCutPlanes, 1);
    EXPECT_EQ(planes.m_iSelectedCutPlane, 0);
    planes.m_iSelectedCutPlane = -1;
    planes.deleteSelectedCutPlane();
    EXPECT_EQ(planes.m_iNumCutPlanes, 1) << "no selection, nothing deleted";
    planes.resetCutPlanes();
    EXPECT_EQ(planes.m_iNumCutPlanes, 0);
    EXPECT_EQ(planes.m_iSelectedCutPlane, -1);
}

TEST_F(Clipping, SectionCentreOfAPlaneThroughTheBoxLiesInsideIt) {
    const CVolume& volume = fixture.ball.volume;
    for (const Vec3& normal : {Vec3(1, 0, 0), Vec3(0, 1, 1), Vec3(1, 2, -3), Vec3(0.2f, 0.1f, 1)}) {
        CutPlane plane(volume.halfSize(), Vec3(30, 20, 26), normalised(normal));
        plane.recentre(nullptr);
        Vec3 centre;
        ASSERT_TRUE(fixture.view.planes().sectionCentre(volume, plane, centre));
        EXPECT_TRUE(inside(volume, centre)) << centre.x << "," << centre.y << "," << centre.z;
        EXPECT_NEAR(dot(centre - plane.point, plane.normal), 0.0f, 0.05f) << "the centre lies in the plane";
    }
}

TEST_F(Clipping, SeventeenthPlaneIsRefusedWithTheLimitMessage) {
    TestView& view = fixture.view;
    view.resizeClient(527, 527);  // a 520 square at (3, 3)
    view.renderFrame();
    view.m_bRenderPending = true;
    view.renderFrame();
    view.m_cutLineStart = {100, 263};
    view.m_cutLineEnd = {400, 263};
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(view.createCutPlaneFromLine()) << i;
    EXPECT_FALSE(view.createCutPlaneFromLine());
    EXPECT_EQ(view.planes().m_iNumCutPlanes, 16);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_EQ(view.notices[0], ViewNotice::CutPlaneLimitReached);
}

TEST_F(Clipping, PlaneFromAZeroLengthLineIsRefused) {
    TestView& view = fixture.view;
    view.resizeClient(527, 527);
    view.m_bRenderPending = true;
    view.renderFrame();
    view.m_cutLineStart = view.m_cutLineEnd = {200, 200};
    EXPECT_FALSE(view.createCutPlaneFromLine());
    EXPECT_EQ(view.planes().m_iNumCutPlanes, 0);
}

TEST_F(Clipping, PlaneFromALineRecentresIntoTheVolume) {
    TestView& view = fixture.view;
    view.resizeClient(527, 527);
    view.m_bRenderPending = true;
    view.renderFrame();
    view.m_cutLineStart = {263, 60};
    view.m_cutLineEnd = {263, 460};
    ASSERT_TRUE(view.createCutPlaneFromLine());
    const CutPlane* plane = view.planes().selected();
    ASSERT_NE(plane, nullptr);
    EXPECT_TRUE(inside(fixture.ball.volume, plane->point));
    EXPECT_NEAR(length(plane->normal), 1.0f, 1e-4f);
}

}  // namespace
