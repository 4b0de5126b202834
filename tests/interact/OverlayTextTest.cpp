// The overlay texts as the user reads them: corner blocks, density bounds
// and the notices before the view is ready.

#include "interact/OverlayInputs.h"
#include "interact/OverlayInputsFromView.h"
#include "interact/OverlayTexts.h"
#include "interact/Overlays.h"

#include "ViewFixture.h"

#include <gtest/gtest.h>

#include <string>

using namespace v3d;

namespace {

OverlayInputs readyInputs() {
    OverlayInputs in;
    in.clientWidth = 400;
    in.clientHeight = 300;
    in.hasSeries = true;
    in.allLoaded = true;
    return in;
}

std::vector<OverlayText> textsOf(const OverlayList& list) {
    std::vector<OverlayText> texts;
    for (const OverlayItem& item : list)
        if (const auto* t = std::get_if<OverlayText>(&item)) texts.push_back(*t);
    return texts;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(RightBlock, ParallelWidestZoomShowsDiameter2048mm) {
    OverlayInputs in = readyInputs();
    in.camera.setZoom(1.0f);
    in.imageWidth = 256;
    EXPECT_EQ(rightTextBlock(in), " dia 2048 mm\n\n");
}

TEST(RightBlock, ParallelNarrowestZoomShowsDiameter25mm) {
    OverlayInputs in = readyInputs();
    in.camera.setZoom(0.0f);
    in.imageWidth = 256;
    EXPECT_EQ(rightTextBlock(in), " dia 25 mm\n\n");
}

TEST(RightBlock, PerspectiveShowsFieldOfView30And150Degrees) {
    OverlayInputs in = readyInputs();
    in.camera.perspective = true;
    in.camera.setZoom(0.0f);
    EXPECT_EQ(rightTextBlock(in), " fov 30 deg\n\n");
    in.camera.setZoom(1.0f);
    EXPECT_EQ(rightTextBlock(in), " fov 150 deg\n\n");
}

// The zoom is kept as a fraction; the shown angle must still be the whole
// angle the camera has, not one degree less.
TEST(RightBlock, ShowsEveryWholeFieldOfViewUnchanged) {
    OverlayInputs in = readyInputs();
    in.camera.perspective = true;
    for (int fov = 30; fov <= 150; ++fov) {
        in.camera.fieldOfView = static_cast<float>(fov);
        EXPECT_EQ(rightTextBlock(in), " fov " + std::to_string(fov) + " deg\n\n") << fov;
    }
}

TEST(RightBlock, CutPlaneModeEndsWithSelectedOfCount) {
    OverlayInputs in = readyInputs();
    in.camera.perspective = true;
    in.camera.fieldOfView = 75.0f;
    in.cutPlaneMode = true;
    in.numCutPlanes = 3;
    in.selectedCutPlane = 1;
    EXPECT_EQ(rightTextBlock(in), " fov 75 deg\n\n\ncutplanes \n \n2/3 ");
    in.selectedCutPlane = -1;
    EXPECT_TRUE(endsWith(rightTextBlock(in), "\n-/3 ")) << rightTextBlock(in);
    in.cutPlaneMode = false;
    EXPECT_EQ(rightTextBlock(in), " fov 75 deg\n\n");
}

TEST(LeftBlock, LevelWindowIsovalueThenToolValues) {
    OverlayInputs in = readyInputs();
    in.levelHU = 40;
    in.windowHU = 400;
    in.isoHU = -500;
    EXPECT_EQ(leftTextBlock(in), " level 40\n window 400\n isosurface at -500\n");
    in.rightTool = TOOL_HUE_SAT;
    EXPECT_EQ(leftTextBlock(in), " level 40\n window 400\n isosurface at -500\n hue=220\n saturation=0.500\n");
    in.rightTool = TOOL_SHADE;
    in.diffuse = 0.25f;
    in.shine = 12.0f;
    EXPECT_EQ(leftTextBlock(in), " level 40\n window 400\n isosurface at -500\n coefficient=0.250\n shinyness=12\n");
}

TEST(DensityBounds, ProbeAndRadiusGiveTheRangeAroundTheProbe) {
    OverlayInputs in = readyInputs();
    in.toolGroup = 2;
    in.rightTool = TOOL_DENSITY_RANGE;
    in.probeHU = 120;
    in.segRad = 100;
    EXPECT_EQ(densityBoundsLine(in), "20 < 120 < 220");
}

TEST(DensityBounds, WithoutProbeDotsStandForEveryValue) {
    OverlayInputs in = readyInputs();
    in.toolGroup = 2;
    in.rightTool = TOOL_DENSITY_RANGE;
    in.probeHU = kNoProbeValue;
    const std::string line = densityBoundsLine(in);
    EXPECT_EQ(line.rfind("... < ", 0), 0u) << line;
    EXPECT_TRUE(endsWith(line, " < ...")) << line;
    EXPECT_EQ(line, "... < ... < ...");
}

TEST(DensityBounds, SegmentRangeAndSelectObjectBounds) {
    OverlayInputs in = readyInputs();
    in.toolGroup = 2;
    in.rightTool = TOOL_SEG_RANGE;
    in.segLow = -200;
    in.segHigh = 700;
    EXPECT_EQ(densityBoundsLine(in), "-200 < ... < 700");
    in.rightTool = TOOL_SELECT_OBJECT;
    in.isoHU = 300;
    in.probeHU = 450;
    EXPECT_EQ(densityBoundsLine(in), "300 < 450");
}

TEST(DensityBounds, DrawnInTheBandAboveTheBottomOnlyForSelectionTools) {
    OverlayInputs in = readyInputs();
    in.toolGroup = 2;
    in.rightTool = TOOL_DENSITY_RANGE;
    std::vector<OverlayText> texts = textsOf(buildOverlays(in));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2].text, "... < ... < ...");
    EXPECT_EQ(texts[2].box.top, 300 - 52);
    EXPECT_EQ(texts[2].box.height, 26);
    EXPECT_EQ(texts[2].box.width, 400);
    EXPECT_TRUE(texts[2].singleLine);
    in.rightTool = TOOL_ROI;
    EXPECT_EQ(textsOf(buildOverlays(in)).size(), 2u);
    in.toolGroup = 1;
    in.rightTool = TOOL_CUT_CREATE;
    EXPECT_EQ(textsOf(buildOverlays(in)).size(), 2u);
}

TEST(Notices, WithoutSeriesOnlyTheDropNotice) {
    OverlayInputs in = readyInputs();
    in.hasSeries = false;
    const OverlayList list = buildOverlays(in);
    const std::vector<OverlayText> texts = textsOf(list);
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "Drop image series to start");
    EXPECT_EQ(texts[0].align, unsigned(ALIGN_HCENTRE | ALIGN_VCENTRE));
    EXPECT_EQ(texts[1].text, "\n\n3D Volume Viewer");
    EXPECT_EQ(texts[0].colour, overlay_colour::kText);
}

TEST(Notices, SeriesStillLoadingShowsTheWaitingNoticeInRed) {
    OverlayInputs in = readyInputs();
    in.allLoaded = false;
    const OverlayList list = buildOverlays(in);
    const std::vector<OverlayText> texts = textsOf(list);
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Waiting for all images to load.");
    EXPECT_EQ(texts[0].colour, (OverlayColour{255, 32, 0}));
}

TEST(Notices, LossyImagesAddTheNoticeIconAtTheTopCentre) {
    OverlayInputs in = readyInputs();
    in.allLossless = false;
    const OverlayList list = buildOverlays(in);
    ASSERT_FALSE(list.empty());
    const auto* icon = std::get_if<OverlayIcon>(&list.back());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->x, 400 / 2 - 8);
    EXPECT_EQ(icon->y, 2);
    EXPECT_EQ(icon->bitmapId, kLossyNoticeBitmap);
    in.allLossless = true;
    for (const OverlayItem& item : buildOverlays(in)) EXPECT_FALSE(std::holds_alternative<OverlayIcon>(item));
}

TEST(CoarsePassMark, DOnlyWhileTheRendererIsCoarse) {
    OverlayInputs in = readyInputs();
    in.currentStep = 4;
    std::vector<OverlayText> texts = textsOf(buildOverlays(in));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2].text, "D");
    EXPECT_EQ(texts[2].align, unsigned(ALIGN_LEFT | ALIGN_BOTTOM));
    in.currentStep = 1;
    EXPECT_EQ(textsOf(buildOverlays(in)).size(), 2u);
}

// The corner block of a real view over a real volume: HU come from the
// stored window and isovalue through the volume's rescale.
TEST(OverlayInputsFromView, LeftBlockShowsTheVolumesWindowAndIsovalueInHU) {
    ViewFixture f;
    f.ball.volume.setWindowLevel(40, 400);
    f.ball.volume.setIsoValue(300);
    const OverlayInputs in = overlayInputsFromView(f.view, 300, 300);
    EXPECT_TRUE(in.hasSeries);
    EXPECT_EQ(leftTextBlock(in), " level 40\n window 400\n isosurface at 300\n");
}

TEST(OverlayInputsFromView, CutPlaneSelectionAndOutlineComeFromTheView) {
    ViewFixture f;
    f.view.m_bCutPlaneMode = true;
    f.view.resizeClient(300, 300);
    f.view.m_cutLineStart = {100, 150};
    f.view.m_cutLineEnd = {200, 150};
    ASSERT_TRUE(f.view.createCutPlaneFromLine());
    ASSERT_TRUE(f.view.createCutPlaneFromLine());
    f.view.m_iNumRoiPoints = 2;
    f.view.m_roiScreenPoints[0] = {10, 20};
    f.view.m_roiScreenPoints[1] = {30, 40};
    const OverlayInputs in = overlayInputsFromView(f.view, 300, 300);
    EXPECT_TRUE(endsWith(rightTextBlock(in), "\n2/2 ")) << rightTextBlock(in);
    EXPECT_TRUE(in.hasSelectedPlane);
    ASSERT_EQ(in.roiScreenPoints.size(), 2u);
    EXPECT_EQ(in.roiScreenPoints[1].x, 30);
}
