// The selection tools on a rendered ball: a double-click keeps or removes
// the object under the cursor, a freehand outline cuts through the whole
// volume, and the reset command shows everything again; each operation
// leaves its records in the view's history.
#include "QuietWindow.h"
#include "ViewFixture.h"
#include "collab/SegHistoryReplay.h"
#include "interact/ViewInput.h"
#include "interact/ViewWindow.h"
#include "render/RenderWorkspace.h"
#include "segment/Segmenter.h"
#include "volume/CVolume.h"
#include "view/ViewCommands.h"
#include "view/ViewToolCommands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace v3d;

namespace {

struct SegmentTools : ::testing::Test {
    ViewFixture fixture;
    TestView& view = fixture.view;
    QuietWindow window;

    void SetUp() override {
        view.resizeClient(400, 400);
        view.m_iToolGroup = GROUP_SELECTION;
        view.m_iRightTool = TOOL_SELECT_OBJECT;
        fixture.camera.setZoom(0.02f);  // close: the ball fills much of the image
        renderAndWait();
    }
    void renderAndWait() {
        view.m_bRenderPending = true;
        view.m_iInterruptLevel = 1;
        view.renderFrame();
        while (view.currentRenderer()->busyCount > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Whether the ray through the client point finds a surface.
    bool surfaceAt(ClientPoint point) {
        const ClientPoint px = view.clientToImage(point);
        const int w = RenderWorkspace::wide(px.x, px.y);
        return view.m_workspace->depth[w] > 0.0f && view.m_workspace->value[w] != RenderWorkspace::kNoValue &&
               view.m_workspace->depth[w] < view.m_workspace->exitDistance[RenderWorkspace::index(px.x, px.y)];
    }
    // A closed outline through the client points, as the drag collects it
    // (the image pixel's ray origin of each), ended by the right release.
    int cutOutline(std::initializer_list<ClientPoint> corners, int flags = 0) {
        view.m_iRightTool = TOOL_ROI;
        view.m_iNumRoiPoints = 0;
        view.m_bRoiClosed = false;
        for (const ClientPoint& c : corners) {
            const ClientPoint px = view.clientToImage(c);
            view.m_roiScreenPoints[static_cast<size_t>(view.m_iNumRoiPoints)] = c;
            view.m_roiPoints[static_cast<size_t>(view.m_iNumRoiPoints++)] =
                view.m_pCamera->rayOriginForPixel(px.x, view.m_iImageWidth, px.y, view.m_iImageHeight);
        }
        view.m_iDragMode = DRAG_OUTLINE;
        return rightRelease(view, window, flags);
    }
    int pick(ClientPoint point, int flags) {
        view.m_pressPoint = point;
        return doubleClickPick(view, point, flags);
    }
};

TEST_F(SegmentTools, RemoveFloodOnTheBallHidesItAndRecordsTheOperation) {
    ASSERT_TRUE(surfaceAt({200, 200}));
    EXPECT_EQ(pick({200, 200}, MOUSE_SHIFT), CHANGE_SEGMENTATION);
    EXPECT_EQ(view.m_segHistory.rfind("SEGBEGIN ", 0), 0u) << view.m_segHistory;
    EXPECT_NE(view.m_segHistory.find("SEGENDJ"), std::string::npos);
    renderAndWait();
    EXPECT_FALSE(surfaceAt({200, 200})) << "the ball is gone";
    EXPECT_EQ(runToolCommand(view, ID_RESET_SEGMENTATION), CHANGE_SEGMENTATION);
    EXPECT_TRUE(view.m_segHistory.empty());
    renderAndWait();
    EXPECT_TRUE(surfaceAt({200, 200})) << "reset shows it again";
}

TEST_F(SegmentTools, KeepFloodOnTheBallKeepsIt) {
    EXPECT_EQ(pick({200, 200}, 0), CHANGE_SEGMENTATION);
    renderAndWait();
    EXPECT_TRUE(surfaceAt({200, 200}));
    EXPECT_FALSE(surfaceAt({20, 20})) << "the air around stays empty";
}

TEST_F(SegmentTools, DoubleClickOnAirDoesNothing) {
    ASSERT_FALSE(surfaceAt({15, 15}));
    EXPECT_EQ(pick({15, 15}, 0), CHANGE_SEGMENTATION) << "the mask is reported whatever happened";
    EXPECT_TRUE(view.m_segHistory.empty());
}

TEST_F(SegmentTools, OutlineAroundTheLeftHalfKeepsOnlyThatHalf) {
    // A closed outline over the left half of the image.
    EXPECT_EQ(cutOutline({{5, 5}, {200, 5}, {200, 395}, {5, 395}}), CHANGE_SEGMENTATION);
    EXPECT_EQ(view.m_segHistory.rfind("SEGROIBEGIN ", 0), 0u) << view.m_segHistory;
    renderAndWait();
    int left = 0, right = 0;
    for (int y = 20; y < 380; y += 10)
        for (int x = 20; x < 380; x += 10) (x < 200 ? left : right) += surfaceAt({x, y});
    EXPECT_GT(left, 100);
    EXPECT_EQ(right, 0);
    EXPECT_TRUE(surfaceAt({170, 200})) << "inside the outline";
    EXPECT_FALSE(surfaceAt({240, 200})) << "outside the outline";
}

}  // namespace

namespace {

// A keep flood shrinks the clip box to a small object; a keep-outline drawn
// round it afterwards must still cut the whole grid and keep it.
TEST_F(SegmentTools, KeepOutlineAfterAKeptSmallObjectKeepsIt) {
    // The dense core (1000 HU, radius 5) alone.
    Segmenter(view.changeVolume()).floodFromPoint(29.5f, 23.5f, 19.5f, true, false, {}, 1900, 4096);
    renderAndWait();
    EXPECT_EQ(cutOutline({{5, 5}, {395, 5}, {395, 395}, {5, 395}}), CHANGE_SEGMENTATION);
    const CVolume& v = *view.m_pVolume;
    long kept = 0;
    for (int z = 0; z < v.sizeZ; ++z)
        for (int i = 0; i < v.sizeX * v.sizeY; ++i) kept += (v.maskSlices[z][i] & 0x80) != 0;
    EXPECT_GT(kept, 200) << "the core is kept";
}

}  // namespace

namespace {

// An outline cut along the volume's diagonal sweeps the longest depth a
// local cut makes: a follower replays it instead of refusing it.
TEST_F(SegmentTools, OutlineAlongTheDiagonalIsReplayedByAFollower) {
    view.changeCamera().lookAlong(normalised(Vec3(1, 1, 1)));
    renderAndWait();
    ASSERT_EQ(cutOutline({{100, 100}, {300, 100}, {300, 300}, {100, 300}}), CHANGE_SEGMENTATION);
    ViewFixture follower;
    const SegReplayResult replay = applySegHistory(follower.view, view.m_segHistory);
    EXPECT_EQ(replay.replayed, 1);
    EXPECT_EQ(replay.malformed, 0);
}

}  // namespace
