// Tool commands, button presses, wheel, keys and drags of the view, without
// a window: a recording window stands in for the cursor and client area.
#include "ViewFixture.h"
#include "view/ViewCommands.h"
#include "render/RenderWorkspace.h"
#include "interact/MouseAnchor.h"
#include "interact/ViewDrag.h"
#include "view/ViewToolCommands.h"
#include "view/ViewTools.h"
#include "interact/ViewInput.h"
#include "interact/ViewWindow.h"

#include "interact/WheelSteps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

using namespace v3d;

namespace {

struct RecordingWindow : ViewWindow {
    void setCursorShape(CursorShape s) override { shape = s; }
    void showCursor() override { hidden = false; }
    void hideCursor() override { hidden = true; }
    ClientPoint cursorScreenPosition() const override { return screen; }
    void warpCursor(ClientPoint p) override { warps.push_back(p); }
    void releaseCursorClip() override {}
    void setWaitCursor(bool) override {}
    int clientWidth() const override { return width; }
    int clientHeight() const override { return 407; }
    QVWindowHandle frameHandle() const override { return reinterpret_cast<QVWindowHandle>(0x4711); }

    CursorShape shape = CursorShape::Arrow;
    bool hidden = false;
    ClientPoint screen{1000, 700};
    int width = 407;
    std::vector<ClientPoint> warps;
};


class Tools : public ::testing::Test {
protected:
    void SetUp() override {
        fixture = std::make_unique<ViewFixture>();
        view().resizeClient(window.clientWidth(), window.clientHeight());
    }
    void TearDown() override { fixture.reset(); }

    TestView& view() { return fixture->view; }
    WheelSteps steps;
    Camera& camera() { return fixture->camera; }
    CVolume& volume() { return fixture->ball.volume; }
    // Press-style anchor at a point, then one move to another with the flags.
    int drag(ClientPoint from, ClientPoint to, int flags) {
        view().m_bAnchorReset = true;
        mouseMove(view(), window, from, flags);
        return mouseMove(view(), window, to, flags);
    }
    void renderAndWait() {
        view().m_bRenderPending = true;
        view().m_iInterruptLevel = 1;
        view().renderFrame();
        while (view().currentRenderer()->busyCount > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void addPlanes(int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(view().changePlanes().add(volume(), volume().halfSize(), Vec3(24, 24, 24), Vec3(1, 0, 0)));
    }
    CommandState stateOf(int command) {
        CommandState s;
        EXPECT_TRUE(toolCommandState(view(), command, s)) << command;
        return s;
    }

    RecordingWindow window;
    std::unique_ptr<ViewFixture> fixture;
};

TEST_F(Tools, LeftDragModeFollowsTheKeysOfEachMove) {
    struct Row { int tool; int plain, shift, ctrl; };
    for (const Row& row : {Row{TOOL_ORBIT, 1, 2, 3}, Row{TOOL_ROTATE, 2, 1, 3}, Row{TOOL_STRAFE, 3, 1, 2},
                           Row{TOOL_MOVE_ROLL, 10, 1, 3}}) {
        view().m_iCameraTool = row.tool;
        EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT), row.plain) << row.tool;
        EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_SHIFT), row.shift) << row.tool;
        EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_CTRL), row.ctrl) << row.tool;
        EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_CTRL | MOUSE_SHIFT), 9) << row.tool;
    }
}

TEST_F(Tools, BothButtonsZoomOrMoveAndMiddleOrDraglessRightToolKeepTheMode) {
    EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_RIGHT), 9);
    camera().perspective = true;
    EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_RIGHT), 10);
    view().m_iRightTool = TOOL_CUT_MOVE;
    EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_RIGHT), 6);
    view().m_iDragMode = 7;
    EXPECT_EQ(chooseDragMode(view(), MOUSE_LEFT | MOUSE_MIDDLE), 7);
    view().m_iRightTool = 1;  // reachable only through the middle-button cycle
    EXPECT_EQ(chooseDragMode(view(), MOUSE_RIGHT), 7);
    EXPECT_EQ(chooseDragMode(view(), 0), 0);
}

TEST_F(Tools, ShiftSwitchesOrbitToRotateInPlaceMidDrag) {
    const Vec3 start = camera().position;
    EXPECT_EQ(drag({200, 200}, {230, 200}, MOUSE_LEFT), 2);
    EXPECT_EQ(view().m_iDragMode, 1);
    const Vec3 orbited = camera().position;
    EXPECT_GT(length(orbited - start), 1.0f) << "an orbit moves the eye about the centre";
    const Vec3 viewBefore = camera().view;
    EXPECT_EQ(mouseMove(view(), window, {250, 200}, MOUSE_LEFT | MOUSE_SHIFT), 2);
    EXPECT_EQ(view().m_iDragMode, 2);
    EXPECT_TRUE(approximatelyEqual(camera().position, orbited)) << "rotation keeps the eye in place";
    EXPECT_FALSE(approximatelyEqual(camera().view, viewBefore));
    mouseMove(view(), window, {270, 200}, MOUSE_LEFT);
    EXPECT_EQ(view().m_iDragMode, 1);
    EXPECT_TRUE(window.hidden);
}

TEST_F(Tools, WithoutControlADragChangesNothing) {
    fixture->services.control = false;
    const Vec3 start = camera().position;
    const Vec3 viewBefore = camera().view;
    view().m_iRightTool = TOOL_WINDOW_LEVEL;
    EXPECT_EQ(drag({200, 200}, {260, 230}, MOUSE_LEFT), 0);
    EXPECT_EQ(mouseMove(view(), window, {100, 230}, MOUSE_RIGHT), 0);
    EXPECT_TRUE(camera().position == start);
    EXPECT_TRUE(camera().view == viewBefore);
    EXPECT_EQ(volume().widthHU, 1000);
    EXPECT_FALSE(view().m_bRenderPending);
}

TEST_F(Tools, WarpingDragReturnsTheCursorBeyondFiftyPixels) {
    view().m_bAnchorReset = true;
    mouseMove(view(), window, {200, 200}, MOUSE_LEFT);
    mouseMove(view(), window, {240, 200}, MOUSE_LEFT);
    EXPECT_TRUE(window.warps.empty());
    EXPECT_EQ(MouseAnchor::s_lastMouse.x, 240);
    mouseMove(view(), window, {251, 200}, MOUSE_LEFT);
    ASSERT_EQ(window.warps.size(), 1u);
    EXPECT_EQ(window.warps[0].x, 1000);
    EXPECT_EQ(window.warps[0].y, 700);
    EXPECT_EQ(MouseAnchor::s_lastMouse.x, 200) << "the next delta is measured from the anchor";
}

// A platform that ignores cursor warps (the cursor stays where the user
// put it): deltas go on from where the cursor really is.
struct UnwarpableWindow : RecordingWindow {
    ClientPoint cursorScreenPosition() const override { return {client.x + 800, client.y + 500}; }
    void warpCursor(ClientPoint p) override { warps.push_back(p); }
    ClientPoint client{0, 0};
};

TEST_F(Tools, IgnoredWarpKeepsMeasuringFromTheRealCursor) {
    UnwarpableWindow unwarpable;
    auto move = [&](int x) {
        unwarpable.client = {x, 200};
        return mouseMove(view(), unwarpable, {x, 200}, MOUSE_LEFT);
    };
    view().m_bAnchorReset = true;
    move(200);
    const Vec3 before = camera().view;
    for (int x = 210; x <= 300; x += 10) move(x);
    ASSERT_FALSE(unwarpable.warps.empty()) << "the drag did try to warp";
    EXPECT_EQ(MouseAnchor::s_lastMouse.x, 300) << "the last delta ended where the cursor is";
    // 100 pixels of orbit in all: the same turn as one drag of 100 pixels.
    const Vec3 after = camera().view;
    ViewFixture reference;
    reference.view.resizeClient(window.clientWidth(), window.clientHeight());
    RecordingWindow plain;
    reference.view.m_bAnchorReset = true;
    mouseMove(reference.view, plain, {200, 200}, MOUSE_LEFT);
    mouseMove(reference.view, plain, {240, 200}, MOUSE_LEFT);
    mouseMove(reference.view, plain, {280, 200}, MOUSE_LEFT);
    MouseAnchor::s_lastMouse = {280, 200};
    mouseMove(reference.view, plain, {300, 200}, MOUSE_LEFT);
    EXPECT_NEAR(dot(after, reference.camera.view), 1.0f, 1e-4f);
    EXPECT_LT(dot(after, before), 0.999f);
}

TEST_F(Tools, NearTheEdgeTheDragLetsGo) {
    view().m_bAnchorReset = true;
    mouseMove(view(), window, {200, 200}, MOUSE_LEFT);
    const Vec3 start = camera().position;
    EXPECT_EQ(mouseMove(view(), window, {200, 400}, MOUSE_LEFT), 16);
    EXPECT_EQ(view().m_iDragMode, 0);
    EXPECT_FALSE(window.hidden);
    EXPECT_TRUE(camera().position == start);
}

TEST_F(Tools, WindowLevelStepIsLimitedToFifteenPixels) {
    view().m_iRightTool = TOOL_WINDOW_LEVEL;
    EXPECT_EQ(drag({100, 200}, {200, 200}, MOUSE_RIGHT), 1);
    EXPECT_EQ(volume().widthHU, 1150);
    EXPECT_EQ(volume().levelHU, 0);
    EXPECT_EQ(fixture->services.windowLevelUpdates, 1);
    EXPECT_TRUE(view().m_bRenderPending);
    EXPECT_EQ(window.shape, CursorShape::SizeAll);
}

TEST_F(Tools, IsovalueDragMovesFiveHUAPixelWithinTheLimit) {
    view().m_iRightTool = TOOL_ISOVALUE;
    const int iso = volume().storedToHU(volume().isoStored);
    drag({200, 200}, {200, 196}, MOUSE_RIGHT);
    EXPECT_EQ(volume().storedToHU(volume().isoStored), iso + 20);
    drag({200, 200}, {200, 100}, MOUSE_RIGHT);
    EXPECT_EQ(volume().storedToHU(volume().isoStored), iso + 20 + 75);
    EXPECT_EQ(volume().isoHU, iso + 95) << "kept for the next refresh of the volume";
}

TEST_F(Tools, HueWrapsAtBothEnds) {
    view().m_iRightTool = TOOL_HUE_SAT;
    view().m_fHue = 359.0f;
    drag({200, 200}, {195, 200}, MOUSE_RIGHT);
    EXPECT_EQ(view().m_fHue, 0.0f);
    view().m_fHue = 2.0f;
    drag({200, 200}, {205, 200}, MOUSE_RIGHT);
    EXPECT_EQ(view().m_fHue, 360.0f);
}

TEST_F(Tools, ShadeDragKeepsDiffuseAndShineInRange) {
    view().m_iRightTool = TOOL_SHADE;
    drag({200, 300}, {200, 30}, MOUSE_RIGHT);  // 270 up: +1.35
    EXPECT_FLOAT_EQ(view().m_fDiffuse, 0.999f);
    drag({200, 200}, {30, 200}, MOUSE_RIGHT);  // -34 shine
    EXPECT_FLOAT_EQ(view().m_fShine, 1.0f);
}

TEST_F(Tools, SegmentationRangeKeepsHighAboveLow) {
    view().m_iRightTool = TOOL_SEG_RANGE;
    view().m_prefs.segLow = 100;
    view().m_prefs.segHigh = 120;
    drag({200, 200}, {250, 150}, MOUSE_RIGHT);  // low +50, high -50
    EXPECT_EQ(view().m_prefs.segLow, 150);
    EXPECT_EQ(view().m_prefs.segHigh, 150);
}

TEST_F(Tools, PanThatWouldLeaveTheLimitSphereIsUndone) {
    view().m_iCameraTool = TOOL_STRAFE;
    const float k = halfDiagonal(view());
    const Vec3 c = volume().center();
    EXPECT_EQ(drag({200, 200}, {240, 200}, MOUSE_LEFT), 2);
    EXPECT_LT(length(camera().position - c), 2.5f * k);
    for (int i = 0; i < 20; ++i) {
        view().m_bAnchorReset = true;
        mouseMove(view(), window, {200, 200}, MOUSE_LEFT);
        mouseMove(view(), window, {240, 200}, MOUSE_LEFT);
        ASSERT_LT(length(camera().position - c), 2.5f * k) << "step " << i;
    }
}

TEST_F(Tools, PerspectiveWheelStaysInsideTheCameraSphere) {
    camera().perspective = true;
    const Vec3 c = volume().center();
    const float k = halfDiagonal(view());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(wheel(view(), steps, -120), 2);
    EXPECT_NEAR(length(camera().position - c), 2.45f * k, 1e-3f);
    // Placed beyond the outer limit, the camera does not move at all.
    const Vec3 far = c - Vec3(0, 1, 0) * (3.0f * k);
    camera().setPosition(far);
    wheel(view(), steps, 120);
    EXPECT_TRUE(camera().position == far);
}

TEST_F(Tools, ParallelWheelZoomsByTenStepsANotch) {
    const float zoom = camera().getZoom();
    EXPECT_EQ(wheel(view(), steps, -120), 1);
    EXPECT_NEAR(camera().getZoom(), zoom - 10.0f / 256.0f, 1e-4f);
}

TEST_F(Tools, EightFineWheelEventsZoomAsFarAsOneNotch) {
    const float zoom = camera().getZoom();
    int mask = 0;
    for (int i = 0; i < 8; ++i) mask |= wheel(view(), steps, -15);
    EXPECT_EQ(mask, CHANGE_CAMERA);
    EXPECT_NEAR(camera().getZoom(), zoom - 10.0f / 256.0f, 1e-4f);
    // Less than a notch moves nothing yet.
    EXPECT_EQ(wheel(view(), steps, -60), 0);
    EXPECT_NEAR(camera().getZoom(), zoom - 10.0f / 256.0f, 1e-4f);
}

TEST_F(Tools, FineWheelEventsPushThePlaneAndGrowTheRadiusByWholeNotches) {
    ASSERT_TRUE(view().changePlanes().add(volume(), volume().halfSize(), Vec3(24, 24, 24), Vec3(1, 0, 0)));
    view().m_iRightTool = TOOL_CUT_MOVE;
    const float x = view().planes().selected()->point.x;
    for (int i = 0; i < 4; ++i) wheel(view(), steps, 30);
    EXPECT_NEAR(view().planes().selected()->point.x, x - 5.0f, 1e-4f);
    view().m_iRightTool = TOOL_DENSITY_RANGE;
    view().m_prefs.segRad = 100;
    for (int i = 0; i < 12; ++i) wheel(view(), steps, 20);
    EXPECT_EQ(view().m_prefs.segRad, 131) << "two notches: 100 -> 114 -> 131";
}

TEST_F(Tools, DensityWheelOnRadiusOne) {
    view().m_iRightTool = TOOL_DENSITY_RANGE;
    view().m_prefs.segRad = 1;
    EXPECT_EQ(wheel(view(), steps, 120), 1);
    EXPECT_EQ(view().m_prefs.segRad, 2);
    view().m_prefs.segRad = 1;
    wheel(view(), steps, -120);
    EXPECT_EQ(view().m_prefs.segRad, 1);
    view().m_prefs.segRad = 100;
    wheel(view(), steps, 120);
    EXPECT_EQ(view().m_prefs.segRad, 114);
}

TEST_F(Tools, MiddleButtonCyclesWithinTheGroup) {
    view().m_iRightTool = TOOL_ISOVALUE;
    EXPECT_EQ(middlePress(view(), {5, 5}), 0);
    EXPECT_EQ(view().m_iRightTool, TOOL_ISOVALUE);
    view().m_iRightTool = TOOL_WINDOW_LEVEL;
    EXPECT_EQ(middlePress(view(), {5, 5}), 0);
    EXPECT_EQ(view().m_iRightTool, TOOL_WINDOW_LEVEL);
    view().m_iRightTool = 0;
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(middlePress(view(), {5, 5}), 16);
        seen.push_back(view().m_iRightTool);
    }
    EXPECT_EQ(seen, std::vector<int>({1, 2, 4, 3, 0}));
    view().m_iToolGroup = 2;
    view().m_iRightTool = TOOL_ROI;
    middlePress(view(), {5, 5});
    EXPECT_EQ(view().m_iRightTool, TOOL_SELECT_OBJECT);
}

TEST_F(Tools, MiddleButtonInTheCutPlaneGroupMovesOnlyWithPlanes) {
    view().m_iToolGroup = 1;
    view().m_iRightTool = TOOL_CUT_CREATE;
    EXPECT_EQ(middlePress(view(), {5, 5}), 16);
    EXPECT_EQ(view().m_iRightTool, TOOL_CUT_CREATE);
    addPlanes(2);
    view().selectCutPlane(-1);
    middlePress(view(), {5, 5});
    EXPECT_EQ(view().m_iRightTool, TOOL_CUT_MOVE);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, 0);
    middlePress(view(), {5, 5});
    EXPECT_EQ(view().m_iRightTool, TOOL_CUT_CREATE);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, -1);
}

TEST_F(Tools, KeyXStepsDownToThirtyTwoThenWraps) {
    std::vector<int> widths;
    for (int i = 0; i < 15; ++i) {
        ASSERT_TRUE(diagnosticKey(view(), KEY_X));
        widths.push_back(view().m_iImageWidth);
    }
    EXPECT_EQ(widths.front(), 240);
    EXPECT_EQ(widths[13], 32);
    EXPECT_EQ(widths[14], 256);
    EXPECT_EQ(view().m_iImageHeight, 256);
}

TEST_F(Tools, KeyTHalvesTheCoarseStepAndBoundsTheLimit) {
    diagnosticKey(view(), KEY_S);  // 1 / 2 = 0: the limit becomes the step, 4
    EXPECT_EQ(view().m_iInterpolationLimit, 4);
    std::vector<int> steps;
    for (int i = 0; i < 4; ++i) {
        diagnosticKey(view(), KEY_T);
        steps.push_back(view().m_iCoarseStep);
        EXPECT_LE(view().m_iInterpolationLimit, view().m_iCoarseStep);
    }
    EXPECT_EQ(steps, std::vector<int>({2, 1, 16, 8}));
}

TEST_F(Tools, KeyWOnlyWithTheDiagnosticDisplay) {
    view().m_bRenderPending = false;
    EXPECT_TRUE(diagnosticKey(view(), KEY_W));
    EXPECT_EQ(view().m_iDiagnosticBuffer, 0);
    EXPECT_FALSE(view().m_bRenderPending);
    diagnosticKey(view(), KEY_Z);
    for (int i = 0; i < 4; ++i) diagnosticKey(view(), KEY_W);
    EXPECT_EQ(view().m_iDiagnosticBuffer, 0) << "four presses go round";
    diagnosticKey(view(), KEY_W);
    EXPECT_EQ(view().m_iDiagnosticBuffer, 1);
}

TEST_F(Tools, ArrowKeysMoveTurnAndOrbitByTheRepeatCount) {
    const Vec3 start = camera().position;
    const Vec3 right = camera().right;
    EXPECT_EQ(navigationKey(view(), KEY_LEFT, 3, 0), 2);
    EXPECT_TRUE(approximatelyEqual(camera().position, start - right * 30.0f));
    // A turn to the left by 6 n degrees: the view swings toward -right.
    const Vec3 viewBefore = camera().view;
    navigationKey(view(), KEY_LEFT, 2, MOUSE_CTRL);
    EXPECT_NEAR(dot(normalised(camera().view), normalised(viewBefore)), std::cos(12.0f * kDegreesToRadians), 1e-4f);
    EXPECT_LT(dot(camera().view, right), 0.0f);
}

TEST_F(Tools, UpAndDownPushTheSelectedPlaneWithTheMoveTool) {
    view().m_iRightTool = TOOL_CUT_MOVE;
    EXPECT_EQ(navigationKey(view(), KEY_UP, 1, 0), 0) << "no plane selected";
    addPlanes(1);
    EXPECT_EQ(navigationKey(view(), KEY_UP, 1, 0), 8);
    EXPECT_NEAR(view().planes().selected()->point.x, 19.0f, 1e-4f);
    navigationKey(view(), KEY_DOWN, 1, 0);
    EXPECT_NEAR(view().planes().selected()->point.x, 24.0f, 1e-4f);
}

TEST_F(Tools, OneWheelNotchMovesTheSelectedPlaneExactlyAsTheUpKeyDoes) {
    view().m_iRightTool = TOOL_CUT_MOVE;
    // An oblique plane off the centre: the push follows its own normal.
    const Vec3 normal = normalised(Vec3(0.3f, -0.5f, 0.8f));
    ASSERT_TRUE(view().changePlanes().add(volume(), volume().halfSize(), Vec3(20, 27, 22), normal));
    const CutPlane start = *view().planes().selected();
    struct Pair { int delta; int key; float along; };
    for (const Pair& pair : {Pair{WheelSteps::kNotch, KEY_UP, -5.0f}, Pair{-WheelSteps::kNotch, KEY_DOWN, 5.0f}}) {
        *view().changePlanes().selected() = start;
        WheelSteps fresh;
        EXPECT_EQ(wheel(view(), fresh, pair.delta), CHANGE_CUT_PLANES);
        const CutPlane byWheel = *view().planes().selected();
        *view().changePlanes().selected() = start;
        EXPECT_EQ(navigationKey(view(), pair.key, 1, 0), CHANGE_CUT_PLANES);
        const CutPlane byKey = *view().planes().selected();
        EXPECT_TRUE(byWheel.point == byKey.point) << pair.delta;
        EXPECT_TRUE(byWheel.normal == byKey.normal) << pair.delta;
        EXPECT_NEAR(dot(byKey.point - start.point, start.normal), pair.along, 1e-3f) << pair.delta;
    }
}

TEST_F(Tools, WithNoTumbleRepeatedSevenDegreeVerticalTurnsStopShortOfUpright) {
    const Vec3 homeUp = camera().homeUp;
    view().m_prefs.noTumble = true;
    for (int i = 0; i < 20; ++i) turnCamera(view(), AXIS_SECOND, 7.0f);
    EXPECT_NEAR(dot(camera().up, homeUp), std::cos(84.0f * kDegreesToRadians), 1e-4f) << "twelve turns, then none";
    view().applyReferenceFrame(view().m_iReferenceFrame);
    view().m_prefs.noTumble = false;
    float lowest = 1.0f;
    for (int i = 0; i < 20; ++i) {
        turnCamera(view(), AXIS_SECOND, 7.0f);
        lowest = std::min(lowest, dot(camera().up, homeUp));
    }
    EXPECT_LT(lowest, -0.5f) << "tumbling turns go over the top";
}

TEST_F(Tools, SelectCutplaneWrapsAndMoveNeedsPlanes) {
    EXPECT_FALSE(stateOf(ID_MOVE_CUTPLANE).enabled);
    EXPECT_EQ(runToolCommand(view(), ID_SELECT_CUTPLANE), 0);
    EXPECT_EQ(view().m_iToolGroup, 0);
    addPlanes(3);
    view().selectCutPlane(2);
    EXPECT_EQ(runToolCommand(view(), ID_SELECT_CUTPLANE), 24);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, 0);
    EXPECT_EQ(view().m_iRightTool, TOOL_CUT_MOVE);
    view().selectCutPlane(-1);
    runToolCommand(view(), ID_SELECT_CUTPLANE);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, 0);
    EXPECT_TRUE(stateOf(ID_MOVE_CUTPLANE).checked);
}

TEST_F(Tools, DeletingTheLastPlaneReturnsToCreation) {
    addPlanes(1);
    view().m_iRightTool = TOOL_CUT_MOVE;
    EXPECT_TRUE(stateOf(ID_DELETE_CUTPLANE).enabled);
    EXPECT_EQ(runToolCommand(view(), ID_DELETE_CUTPLANE), 24);
    EXPECT_EQ(view().planes().m_iNumCutPlanes, 0);
    EXPECT_EQ(view().m_iRightTool, TOOL_CUT_CREATE);
    EXPECT_FALSE(stateOf(ID_DELETE_CUTPLANE).enabled);
}

TEST_F(Tools, CommandsAreCheckedOnlyWhileReady) {
    EXPECT_EQ(runToolCommand(view(), ID_WINDOW_LEVEL), 16);
    EXPECT_TRUE(stateOf(ID_WINDOW_LEVEL).checked);
    EXPECT_FALSE(stateOf(ID_ISOVALUE).checked);
    EXPECT_TRUE(stateOf(ID_SELECT_ROI).enabled);
    camera().perspective = true;
    EXPECT_FALSE(stateOf(ID_SELECT_ROI).enabled);
    fixture->frame.m_bHasSeries = 0;
    EXPECT_FALSE(stateOf(ID_WINDOW_LEVEL).checked);
    EXPECT_FALSE(stateOf(ID_WINDOW_LEVEL).enabled);
    EXPECT_FALSE(stateOf(ID_RENDER_SSD).checked) << "the current mode shows only while ready";
    CommandState unknown;
    EXPECT_FALSE(toolCommandState(view(), 4242, unknown)) << "not a view command";
}

TEST_F(Tools, ResetShadingAndSegmentation) {
    view().m_fHue = 10.0f;
    view().m_fShine = 2.0f;
    view().m_segHistory = "SEGENDJ";
    EXPECT_EQ(runToolCommand(view(), ID_RESET_SHADING), 3);
    EXPECT_EQ(view().m_fHue, 220.0f);
    EXPECT_EQ(view().m_fShine, 30.0f);
    EXPECT_EQ(runToolCommand(view(), ID_RESET_SEGMENTATION), 4);
    EXPECT_TRUE(view().m_segHistory.empty());
}

TEST_F(Tools, LeftPressMovesTheHostCursorToTheSurfacePoint) {
    QVVolumeRecord record{};
    record.seriesHandle = 7;
    fixture->frame.hostVolume = &record;
    fixture->services.patientCursor = true;
    const std::vector<std::string>& magicCalls = fixture->services.cursorPlacements;
    renderAndWait();
    EXPECT_EQ(leftPress(view(), {200, 200}), 0);
    ASSERT_EQ(magicCalls.size(), 1u);
    int series = 0;
    float x = 0, y = 0, z = 0;
    ASSERT_EQ(std::sscanf(magicCalls[0].c_str(), "%d %f %f %f", &series, &x, &y, &z), 4);
    const Vec3 c = volume().center();
    EXPECT_EQ(series, 7);
    EXPECT_NEAR(x, c.x, 1.5f);
    EXPECT_NEAR(z, c.z, 1.5f);
    EXPECT_NEAR(y, c.y - 14.0f, 1.5f) << "the ball's front, seen from the anterior side";
    leftPress(view(), {3, 3});
    leftRelease(view(), window);
    EXPECT_EQ(magicCalls[1], "0 0.00 0.00 0.00");
    EXPECT_EQ(magicCalls[2], "0 0.00 0.00 0.00");
    fixture->frame.hostVolume = nullptr;
}

TEST_F(Tools, HoverProbesTheDensityUnderTheCursor) {
    window.width = 607;  // the image square leaves strips left and right
    view().resizeClient(window.width, window.clientHeight());
    renderAndWait();
    view().m_bAnchorReset = true;
    mouseMove(view(), window, {300, 200}, 0);
    EXPECT_EQ(mouseMove(view(), window, {301, 200}, 0), 32);
    EXPECT_GT(view().m_iProbeHU, -1024);
    EXPECT_EQ(window.shape, CursorShape::Cross);
    // Off the image the value is gone: reported once, so that peers stop showing it.
    EXPECT_EQ(mouseMove(view(), window, {30, 200}, 0), 32);
    EXPECT_EQ(view().m_iProbeHU, -8888);
    EXPECT_EQ(window.shape, CursorShape::Arrow);
    EXPECT_EQ(mouseMove(view(), window, {31, 200}, 0), 0);
}

TEST_F(Tools, CutLineShorterThanThirtyPixelsIsDiscarded) {
    renderAndWait();
    runToolCommand(view(), ID_CREATE_CUTPLANE);
    rightPress(view(), {150, 200});
    mouseMove(view(), window, {150, 200}, MOUSE_RIGHT);
    mouseMove(view(), window, {170, 200}, MOUSE_RIGHT);
    EXPECT_EQ(view().m_iDragMode, 0);
    EXPECT_EQ(view().m_cutLineStart.x, -1);
    EXPECT_EQ(rightRelease(view(), window, 0), 0);
    EXPECT_EQ(view().planes().m_iNumCutPlanes, 0);

    rightPress(view(), {150, 200});
    mouseMove(view(), window, {150, 200}, MOUSE_RIGHT);
    mouseMove(view(), window, {150, 260}, MOUSE_RIGHT);
    EXPECT_EQ(view().m_iDragMode, 4);
    EXPECT_EQ(rightRelease(view(), window, 0), 8);
    EXPECT_EQ(view().planes().m_iNumCutPlanes, 1);
    EXPECT_EQ(view().m_iDragMode, 0);
}

TEST_F(Tools, DoubleClickOnBackgroundDeselectsThePlane) {
    addPlanes(2);
    view().m_iToolGroup = 1;
    view().m_workspace->entrySurface[RenderWorkspace::index(128, 128)] = -1;
    EXPECT_EQ(doubleClickPick(view(), {200, 200}, 0), 8);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, -1);
    view().m_workspace->entrySurface[RenderWorkspace::index(128, 128)] = 0;
    EXPECT_EQ(doubleClickPick(view(), {200, 200}, 0), 24);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, 0);
    EXPECT_EQ(view().m_iRightTool, TOOL_CUT_MOVE);
    // An entry left from a plane deleted since the last render selects nothing.
    view().m_workspace->entrySurface[RenderWorkspace::index(128, 128)] = 5;
    EXPECT_EQ(doubleClickPick(view(), {200, 200}, 0), 8);
    EXPECT_EQ(view().planes().m_iSelectedCutPlane, -1);
}

TEST_F(Tools, OutlineInPerspectiveCutsNothingAndSpaceClosesIt) {
    view().m_iToolGroup = 2;
    view().m_iRightTool = TOOL_ROI;
    rightPress(view(), {150, 150});
    mouseMove(view(), window, {150, 150}, MOUSE_RIGHT);
    mouseMove(view(), window, {160, 170}, MOUSE_RIGHT);
    mouseMove(view(), window, {175, 185}, MOUSE_RIGHT);
    EXPECT_EQ(view().m_iNumRoiPoints, 2);
    EXPECT_EQ(rightRelease(view(), window, 0), 4);
    camera().perspective = true;
    view().m_iDragMode = 14;
    EXPECT_EQ(rightRelease(view(), window, 0), 0);
    diagnosticKey(view(), KEY_SPACE);
    EXPECT_EQ(view().m_iNumRoiPoints, 0);
    EXPECT_EQ(drag({150, 150}, {170, 170}, MOUSE_RIGHT), 0) << "a closed outline takes no points";
}

}  // namespace
