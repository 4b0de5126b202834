// Cut-plane list upkeep and the per-pixel clipping of rays.
#include "ViewFixture.h"
#include "render/BoxTests.h"
#include "render/math/PlaneMath.h"

#include <cstring>
#include <random>

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

// Two planes through the centre that together keep only the wedge
// y - 24 >= |x - 24|; their removed sides face a camera looking along +y.
const Vec3 kWedgePoint(24, 24, 24);
const Vec3 kWedgeLeft = normalised(Vec3(-1, -1, 0));   // removes y - 24 < -(x - 24)
const Vec3 kWedgeRight = normalised(Vec3(1, -1, 0));   // removes y - 24 < x - 24

TEST_F(Clipping, WedgeOfTwoPlanesIsEnteredAtTheFartherPlane) {
    for (bool leftFirst : {true, false}) {
        fixture.view.deleteAllCutPlanes();
        addPlane(kWedgePoint, leftFirst ? kWedgeLeft : kWedgeRight);
        addPlane(kWedgePoint, leftFirst ? kWedgeRight : kWedgeLeft);
        const int left = leftFirst ? 0 : 1, right = 1 - left;
        // At x 30 the ray crosses the left plane at y 18 and the right one at y 30.
        clip(Vec3(30, -10, 24), Vec3(0, 1, 0));
        EXPECT_NEAR(entry(), 40.0f, 1e-3f) << "left first " << leftFirst;
        EXPECT_EQ(surface(), right) << "left first " << leftFirst;
        EXPECT_NEAR(exit(), 53.5f, 1e-3f);
        // At x 18 the order of the crossings is the other way round.
        clip(Vec3(18, -10, 24), Vec3(0, 1, 0));
        EXPECT_NEAR(entry(), 40.0f, 1e-3f) << "left first " << leftFirst;
        EXPECT_EQ(surface(), left) << "left first " << leftFirst;
    }
}

// Renders the ball in SSD with the current planes; calls check(point, x, y)
// for every pixel that shows a surface, and answers how many show a cut face.
template <typename Check>
int renderSurfaces(ViewFixture& fixture, int& shown, Check check) {
    constexpr int kImage = 96;
    TestView& view = fixture.view;
    fixture.camera.setZoom(0.02f);  // the ball fills much of the image
    view.m_iImageWidth = view.m_iImageHeight = kImage;
    view.setRenderMode(RENDER_SSD);
    view.currentRenderer()->render(kImage, kImage, 1, 1, nullptr);
    const RenderWorkspace& ws = *view.m_workspace;
    int onCutFaces = 0;
    shown = 0;
    for (int x = 0; x < kImage; ++x)
        for (int y = 0; y < kImage; ++y) {
            const int i = RenderWorkspace::index(x, y), w = RenderWorkspace::wide(x, y);
            const float depth = ws.depth[w];
            if (ws.entryDistance[i] < 0.0f || depth < 0.0f || depth >= ws.exitDistance[i]) continue;
            ++shown;
            if (ws.entrySurface[i] >= 0 && depth == ws.entryDistance[i]) ++onCutFaces;
            check(ws.rayStart[i] + ws.rayDir[i] * depth, x, y);
        }
    return onCutFaces;
}

TEST_F(Clipping, NothingBetweenTheTwoPlanesOfAWedgeShows) {
    addPlane(kWedgePoint, kWedgeLeft);
    addPlane(kWedgePoint, kWedgeRight);
    int shown = 0;
    const int onCutFaces = renderSurfaces(fixture, shown, [](const Vec3& p, int x, int y) {
        // The surface search may look back into the cell where the kept
        // segment starts (at most its diagonal); the removed wedge is wider.
        for (const Vec3& normal : {kWedgeLeft, kWedgeRight})
            ASSERT_LE(dot(p - kWedgePoint, normal), 1.75f) << "removed point shown at " << x << "," << y;
    });
    EXPECT_GT(shown, 96 * 96 / 20);
    EXPECT_GT(onCutFaces, 96 * 96 / 40) << "both cut faces are seen";
}

// The surface search starts where the ray enters the cell, which may lie in
// front of the kept segment: a crossing found there is material the plane
// removed, a thin rim along the cut.
TEST_F(Clipping, NoSurfaceShowsOnTheRemovedSideOfACut) {
    const Vec3 normal = normalised(Vec3(1, -1, 0));
    addPlane(kWedgePoint, normal);
    int shown = 0, removed = 0;
    renderSurfaces(fixture, shown, [&](const Vec3& p, int x, int y) {
        const float into = dot(p - kWedgePoint, normal);
        if (into > 1e-3f) ++removed;
        EXPECT_LE(into, 1e-3f) << "removed point shown at " << x << "," << y;
    });
    EXPECT_EQ(removed, 0) << "of " << shown << " pixels showing a surface";
}

// The box faces are crossed by their one axis; the general line-plane
// crossing with the faces' +-1 normals must give the same bits: entry and
// exit distances, points and the entry face, over random rays from inside
// and outside the box, with components of zero among the directions.
TEST_F(Clipping, BoxFacesGiveTheGeneralPlaneCrossingsBitForBit) {
    const CVolume& volume = fixture.ball.volume;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-30.0f, 80.0f), component(-1.0f, 1.0f);
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    auto samePoint = [&](const Vec3& a, const Vec3& b) { return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z); };
    int entered = 0;
    for (int n = 0; n < 20000; ++n) {
        const Vec3 origin(coordinate(rng), coordinate(rng), coordinate(rng));
        Vec3 direction(component(rng), component(rng), component(rng));
        if (n % 5 == 0) direction.x = 0.0f;
        if (n % 7 == 0) direction.y = 0.0f;
        if (n % 11 == 0) direction.z = 0.0f;
        if (dot(direction, direction) < 1e-4f) continue;
        direction = normalised(direction);
        fixture.view.clipRay(0, 0, origin, direction);
        // The crossings as any plane would be crossed.
        bool haveEntry = false, haveExit = false;
        float entryT = 0.0f, exitT = 0.0f;
        Vec3 entryP, exitP;
        int entryId = -1;
        for (int k = 0; k < 6; ++k) {
            bool entering = false;
            float t = 0.0f;
            Vec3 hit;
            if (!intersectLinePlane(origin, direction, volume.boundaryPoints[k], volume.boundaryNormals[k], entering, t,
                                    hit))
                continue;
            if (!(t > 0.0f && insideFace(volume, hit, k))) continue;
            if (entering && (!haveEntry || t > entryT)) {
                haveEntry = true;
                entryT = t;
                entryP = hit;
                entryId = k;
            } else if (!entering && (!haveExit || t < exitT)) {
                haveExit = true;
                exitT = t;
                exitP = hit;
            }
        }
        const RenderWorkspace& ws = *fixture.view.m_workspace;
        if (haveEntry && haveExit) {
            ++entered;
            ASSERT_TRUE(same(ws.entryDistance[0], entryT) && samePoint(ws.entryPoint[0], entryP)) << "ray " << n;
            ASSERT_EQ(ws.entrySurface[0], entryId - 7) << "ray " << n;
        }
        if (haveExit && (haveEntry || inside(volume, origin)))
            ASSERT_TRUE(same(ws.exitDistance[0], exitT) && samePoint(ws.exitPoint[0], exitP)) << "ray " << n;
        else
            ASSERT_LT(ws.entryDistance[0], 0.0f) << "ray " << n;
    }
    EXPECT_GT(entered, 1000);
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
