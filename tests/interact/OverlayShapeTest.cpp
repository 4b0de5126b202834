// The overlay lines and bars: where they go, in which order and colour.

#include "interact/OverlayInputs.h"
#include "interact/OverlayShapes.h"
#include "interact/Overlays.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace v3d;

namespace {

// A 407 x 407 client: half sizes 200, the image square (0, 0, 400, 400),
// inside for 0 <= x, y <= 400.
OverlayInputs squareClient() {
    OverlayInputs in;
    in.clientWidth = 407;
    in.clientHeight = 407;
    in.hasSeries = true;
    in.allLoaded = true;
    in.display.resize(407, 407);
    return in;
}

std::vector<OverlayLine> linesOf(const OverlayList& list) {
    std::vector<OverlayLine> lines;
    for (const OverlayItem& item : list)
        if (const auto* l = std::get_if<OverlayLine>(&item)) lines.push_back(*l);
    return lines;
}

std::vector<OverlayFill> fillsOf(const OverlayList& list) {
    std::vector<OverlayFill> fills;
    for (const OverlayItem& item : list)
        if (const auto* f = std::get_if<OverlayFill>(&item)) fills.push_back(*f);
    return fills;
}

}  // namespace

TEST(CutLine, ClippedToTheImageOnBothSides) {
    const OverlayInputs in = squareClient();
    ClientPoint a, b;
    // Current point left of the press point: a runs to the left edge, b past
    // the press point to the right edge.
    ASSERT_TRUE(cutLineEnds(in.display, {250, 120}, {150, 120}, a, b));
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 120);
    EXPECT_EQ(b.x, 400);
    EXPECT_EQ(b.y, 120);
    // A diagonal: both ends on the image border, on the line through both points.
    ASSERT_TRUE(cutLineEnds(in.display, {260, 240}, {200, 200}, a, b));
    EXPECT_TRUE(a.x <= 1 || a.y <= 1) << a.x << "," << a.y;
    EXPECT_TRUE(b.x >= 399 || b.y >= 399) << b.x << "," << b.y;
    EXPECT_NEAR((b.y - 200) * 60.0 - (b.x - 200) * 40.0, 0.0, 60.0);
}

TEST(CutLine, StepsTowardsThePressPointReachTheEdgeForShallowSlopes) {
    // A direction whose components are below one pixel per step must still
    // travel: b runs right past the press point, almost horizontally.
    const OverlayInputs in = squareClient();
    ClientPoint a, b;
    ASSERT_TRUE(cutLineEnds(in.display, {300, 210}, {100, 200}, a, b));
    EXPECT_EQ(b.x, 400);
    EXPECT_EQ(a.x, 0);
}

TEST(CutLine, TicksEvery10PixelsFromThePressPointEnd) {
    OverlayInputs in = squareClient();
    in.dragMode = 4;
    in.pressPoint = in.cutLineStart = {250, 120};
    in.cutLineEnd = {150, 120};
    OverlayList list;
    addCutLine(list, in);
    const std::vector<OverlayLine> lines = linesOf(list);
    // The line, ticks at 5, 15, ... 385 from b, then the four star strokes.
    ASSERT_EQ(lines.size(), 1u + 39u + 4u);
    EXPECT_EQ(lines[0].x1, 0);
    EXPECT_EQ(lines[0].x2, 400);
    EXPECT_EQ(lines[0].penWidth, 2);
    EXPECT_EQ(lines[0].colour, (OverlayColour{255, 0, 0}));
    for (size_t i = 1; i <= 39; ++i) {
        const OverlayLine& tick = lines[i];
        EXPECT_DOUBLE_EQ(tick.x1, 400.0 - 5.0 - 10.0 * double(i - 1));
        EXPECT_DOUBLE_EQ(tick.x2, tick.x1);
        // 15 pixels along the perpendicular (d.y, -d.x) with d = (1, 0).
        EXPECT_DOUBLE_EQ(tick.y1, 120.0);
        EXPECT_DOUBLE_EQ(tick.y2, 105.0);
        EXPECT_EQ(tick.colour, (OverlayColour{255, 0, 0}));
    }
}

TEST(CutLine, PressStarHasEightArms) {
    OverlayInputs in = squareClient();
    in.dragMode = 4;
    in.pressPoint = in.cutLineStart = {250, 120};
    in.cutLineEnd = {150, 120};
    OverlayList list;
    addCutLine(list, in);
    const std::vector<OverlayLine> lines = linesOf(list);
    ASSERT_GE(lines.size(), 4u);
    const OverlayLine* star = &lines[lines.size() - 4];
    for (int i = 0; i < 4; ++i) {
        // Every stroke is centred on the press point.
        EXPECT_DOUBLE_EQ((star[i].x1 + star[i].x2) / 2, 250.0);
        EXPECT_DOUBLE_EQ((star[i].y1 + star[i].y2) / 2, 120.0);
    }
    EXPECT_DOUBLE_EQ(star[0].length(), 20.0);
    EXPECT_DOUBLE_EQ(star[1].length(), 20.0);
    EXPECT_NEAR(star[2].length(), 14.0 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(star[3].length(), 14.0 * std::sqrt(2.0), 1e-9);
}

TEST(CutLine, PressAndCurrentPointTheSameDrawOnlyTheStar) {
    OverlayInputs in = squareClient();
    in.dragMode = 4;
    in.pressPoint = in.cutLineStart = in.cutLineEnd = {200, 200};
    OverlayList list;
    addCutLine(list, in);
    EXPECT_EQ(linesOf(list).size(), 4u);
}

TEST(CutLine, NothingOutsideTheLineDrag) {
    OverlayInputs in = squareClient();
    in.dragMode = 0;
    in.pressPoint = in.cutLineStart = {250, 120};
    in.cutLineEnd = {150, 120};
    OverlayList list;
    addCutLine(list, in);
    EXPECT_TRUE(list.empty());
}

TEST(Outline, OnePointDrawsOnlyTheClosingSegment) {
    OverlayInputs in = squareClient();
    in.dragMode = 14;
    in.roiScreenPoints = {{50, 60}};
    OverlayList list;
    addFreehandOutline(list, in);
    const std::vector<OverlayLine> lines = linesOf(list);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_DOUBLE_EQ(lines[0].x1, 50);
    EXPECT_DOUBLE_EQ(lines[0].y2, 60);
    EXPECT_DOUBLE_EQ(lines[0].length(), 0.0);
}

TEST(Outline, ClosedBackToTheFirstPoint) {
    OverlayInputs in = squareClient();
    in.dragMode = 14;
    in.roiScreenPoints = {{10, 10}, {100, 10}, {100, 90}};
    OverlayList list;
    addFreehandOutline(list, in);
    const std::vector<OverlayLine> lines = linesOf(list);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_DOUBLE_EQ(lines[2].x1, 100);
    EXPECT_DOUBLE_EQ(lines[2].y1, 90);
    EXPECT_DOUBLE_EQ(lines[2].x2, 10);
    EXPECT_DOUBLE_EQ(lines[2].y2, 10);
    for (const OverlayLine& l : lines) {
        EXPECT_EQ(l.penWidth, 2);
        EXPECT_EQ(l.colour, (OverlayColour{255, 0, 0}));
    }
}

TEST(Outline, NoPointYetDrawsNothing) {
    OverlayInputs in = squareClient();
    in.dragMode = 14;
    OverlayList list;
    addFreehandOutline(list, in);
    EXPECT_TRUE(list.empty());
}

TEST(Outline, PerspectiveShowsTheDisabledNoticeInsteadOfTheOutline) {
    OverlayInputs in = squareClient();
    in.dragMode = 14;
    in.camera.perspective = true;
    in.roiScreenPoints = {{10, 10}, {100, 10}};
    OverlayList list;
    addFreehandOutline(list, in);
    ASSERT_EQ(list.size(), 1u);
    const auto* text = std::get_if<OverlayText>(&list[0]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, "Tool Disabled in Perspective Mode");
    EXPECT_EQ(text->colour, (OverlayColour{255, 0, 0}));
}

TEST(PlaneMarker, StarWhereThePlanePointProjects) {
    OverlayInputs in = squareClient();
    in.dragMode = 5;
    in.hasSelectedPlane = true;
    // Parallel camera at the origin looking along +z: a point ahead on the
    // axis lands in the middle of the image square.
    in.selectedPlanePoint = Vec3(0, 0, 50);
    OverlayList list;
    addRotatedPlaneMarker(list, in);
    const std::vector<OverlayLine> lines = linesOf(list);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_DOUBLE_EQ((lines[0].x1 + lines[0].x2) / 2, 200.0);
    EXPECT_DOUBLE_EQ((lines[0].y1 + lines[0].y2) / 2, 200.0);
    EXPECT_EQ(lines[0].colour, (OverlayColour{0, 16, 192}));
}

TEST(PlaneMarker, NoStarWhenThePointProjectsOutside) {
    OverlayInputs in = squareClient();
    in.dragMode = 5;
    in.hasSelectedPlane = true;
    in.selectedPlanePoint = Vec3(0, 0, -50);  // behind the camera: (-1, -1)
    int px = 0, py = 0;
    in.camera.projectPoint(in.selectedPlanePoint, 400, 400, px, py);
    ASSERT_EQ(px, -1);
    ASSERT_EQ(py, -1);
    OverlayList list;
    addRotatedPlaneMarker(list, in);
    EXPECT_TRUE(list.empty());
}

TEST(ProgressBars, AtZeroHalfAndOne) {
    OverlayInputs in = squareClient();
    in.clientWidth = 580;  // 500 pixels of bar
    in.clientHeight = 400;
    in.downloadedFraction = 0.0;
    in.completedFraction = 0.0;
    OverlayList list;
    addProgressBars(list, in);
    std::vector<OverlayFill> fills = fillsOf(list);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].box.left, 40);
    EXPECT_EQ(fills[0].box.top, 368);
    EXPECT_EQ(fills[0].box.width, 500);
    EXPECT_EQ(fills[0].box.height, 3);
    EXPECT_EQ(fills[0].colour, (OverlayColour{0, 0, 128}));

    in.downloadedFraction = 0.5;
    list.clear();
    addProgressBars(list, in);
    fills = fillsOf(list);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].box.left, 290);
    EXPECT_EQ(fills[0].box.width, 250);
    EXPECT_EQ(fills[1].box.left, 40);
    EXPECT_EQ(fills[1].box.width, 250);
    EXPECT_EQ(fills[1].colour, (OverlayColour{0, 0, 96}));

    in.downloadedFraction = 1.0;
    in.completedFraction = 1.0;
    list.clear();
    addProgressBars(list, in);
    EXPECT_TRUE(list.empty());
}

TEST(ProgressBars, NoBarsWithNegativeWidth) {
    OverlayInputs in = squareClient();
    in.clientWidth = 60;  // narrower than the bars' margins
    in.downloadedFraction = 0.0;
    in.completedFraction = 0.0;
    OverlayList list;
    addProgressBars(list, in);
    EXPECT_TRUE(list.empty());
    // Completion ahead of the download (a host reporting them apart).
    in.clientWidth = 580;
    in.downloadedFraction = 0.2;
    in.completedFraction = 0.6;
    list.clear();
    addProgressBars(list, in);
    for (const OverlayFill& f : fillsOf(list)) EXPECT_GT(f.box.width, 0);
}

TEST(OrientationFigure, BackFacesBeforeFrontFaces) {
    OverlayInputs in = squareClient();
    in.camera.perspective = true;
    OverlayList list;
    addOrientationFigure(list, in);
    const std::vector<OverlayLine> lines = linesOf(list);
    ASSERT_FALSE(lines.empty());
    size_t firstFront = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].penWidth == 2) {
            firstFront = i;
            break;
        }
    ASSERT_LT(firstFront, lines.size());
    ASSERT_GT(firstFront, 0u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool front = i >= firstFront;
        EXPECT_EQ(lines[i].penWidth, front ? 2 : 1) << i;
        EXPECT_EQ(lines[i].colour, front ? overlay_colour::kText : overlay_colour::kDim) << i;
    }
    // Looking along +z only the face turned towards -z (F: 4 frame edges and
    // 3 letter edges) faces the viewer.
    EXPECT_EQ(lines.size() - firstFront, 7u);
}

TEST(OrientationFigure, HeadFacePointsUpSeenFromTheFront) {
    OverlayInputs in = squareClient();
    // Looking from the front (along +y, posterior), up towards the feet: the
    // axes of the anterior reference frame.
    in.camera.setAxes(Vec3(1, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0));
    OverlayList list;
    addOrientationFigure(list, in);
    const int centreY = in.clientHeight - std::min(in.clientWidth / 9, in.clientHeight / 9);
    // Which faces are bold: only A (the anterior face, towards the viewer).
    int bold = 0;
    for (const OverlayLine& l : linesOf(list)) bold += l.penWidth == 2;
    EXPECT_EQ(bold, 4 + 3);
    // The head face H is the only face whose every vertex lies above the
    // figure's centre on screen.
    const WireModel& head = in.orientationGlyphs[5];
    const Mat3 turn(in.camera.right, in.camera.up, in.camera.view);
    const double g = std::min(in.clientWidth / 18.0, in.clientHeight / 18.0);
    for (int e = 0; e < 4; ++e) {
        Vec3 a, b;
        ASSERT_TRUE(head.projectEdge(e, turn, -1, a, b));
        EXPECT_LT(centreY + g * a.y, centreY);
    }
}

TEST(DistanceGauge, CameraInsideTheSphereMarksDistanceOverRadius) {
    OverlayInputs in = squareClient();
    in.clientWidth = in.clientHeight = 360;  // inset 40, g 20, half tick 5
    in.volumeExtent = Vec3(100, 100, 100);
    in.volumeCentre = Vec3(50, 50, 50);
    in.camera.setPosition(Vec3(50, 50, 50 + 43.30127f));  // half the half-diagonal
    OverlayList list;
    addDistanceGauge(list, in);
    const std::vector<OverlayLine> l = linesOf(list);
    ASSERT_EQ(l.size(), 6u);
    // Frame: ticks at 80 and 280, axis at x 20, thin, bright.
    EXPECT_DOUBLE_EQ(l[0].x1, 15);
    EXPECT_DOUBLE_EQ(l[0].x2, 25);
    EXPECT_DOUBLE_EQ(l[0].y1, 80);
    EXPECT_DOUBLE_EQ(l[1].y1, 280);
    EXPECT_DOUBLE_EQ(l[2].x1, 20);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(l[size_t(i)].penWidth, 1);
        EXPECT_EQ(l[size_t(i)].colour, overlay_colour::kText);
    }
    // Marker halfway: 80 + 200 x 0.5.
    EXPECT_NEAR(l[4].y1, 180, 1);
    EXPECT_EQ(l[5].y2, l[4].y1);
    for (int i = 3; i < 6; ++i) {
        EXPECT_EQ(l[size_t(i)].penWidth, 2);
        EXPECT_EQ(l[size_t(i)].colour, overlay_colour::kDim);
    }
}

TEST(DistanceGauge, CameraOutsideTheSphereMarksRadiusOverDistanceInBright) {
    OverlayInputs in = squareClient();
    in.clientWidth = in.clientHeight = 360;
    in.volumeExtent = Vec3(100, 100, 100);
    in.volumeCentre = Vec3(50, 50, 50);
    in.camera.setPosition(Vec3(50, 50, 50 - 173.20508f));  // twice the half-diagonal
    OverlayList list;
    addDistanceGauge(list, in);
    const std::vector<OverlayLine> l = linesOf(list);
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0].colour, overlay_colour::kDim);
    EXPECT_EQ(l[4].colour, overlay_colour::kText);
    EXPECT_NEAR(l[4].y1, 180, 1);
}
