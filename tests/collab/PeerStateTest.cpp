// State lines written by one view and applied to another, the deferral
// while images arrive, and texts from elsewhere that must not break a view.
#include "collab/CaptureRecord.h"
#include "collab/PeerState.h"
#include "collab/SegHistoryReplay.h"
#include "wire/SegRecords.h"
#include "collab/StateText.h"

#include "ViewFixture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

struct RecordingActions : PeerStateActions {
    void captureForPeer(const PeerCapture& capture) override { captures.push_back(capture); }
    void quickCapture() override { ++quickCaptures; }
    void continueSegHistory(const std::string& history) override { continued.push_back(history); }
    std::vector<PeerCapture> captures;
    std::vector<std::string> continued;
    int quickCaptures = 0;
};

class PeerText : public ::testing::Test {
protected:
    void SetUp() override {
        for (ViewFixture* f : {&a, &b}) {
            f->frame.completedFraction = 1.0;
            f->view.changeVolume().setIsoValue(-300);
            f->view.changeVolume().setWindowLevel(0, 1000);
        }
    }
    PeerStateStatus apply(const std::string& text, int* refused = nullptr) {
        return applyPeerState(b.view, captureB, actions, text, refused);
    }
    std::string stateOf(ViewFixture& f, const CaptureRecord& c, int mask = 127) { return buildStateText(f.view, c, mask); }
    // One changed line in B's full state text, then applied back: whatever
    // was refused leaves B's state text as it was.
    void expectRefused(const std::string& text) {
        const std::string before = stateOf(b, captureB);
        int refused = 0;
        EXPECT_EQ(apply(text, &refused), PeerStateStatus::Applied);
        EXPECT_EQ(refused, 1) << text;
        EXPECT_EQ(stateOf(b, captureB), before) << text;
    }

    ViewFixture a, b;
    CaptureRecord captureA, captureB;
    RecordingActions actions;
};

TEST_F(PeerText, CameraGroupOfTheDefaultViewReadsAsWritten) {
    EXPECT_EQ(stateOf(a, captureA, CHANGE_CAMERA),
              "J_camera 0 0.375000 0.492063 220.000000 0.500000 0.400000 30.000000\n"
              "J_renderer 0\nJ_frame 1\nJ_tumbling 1\nJ_threshold -300\nJ_wwwc 1000 0\n");
    EXPECT_EQ(stateOf(a, captureA, 0), "");
    EXPECT_EQ(stateOf(a, captureA, -1), "");
    EXPECT_EQ(stateOf(a, captureA, 128), "");
}

TEST_F(PeerText, EveryGroupAppliedMakesTheOtherViewWriteTheSameText) {
    Camera& camera = a.view.changeCamera();
    camera.perspective = true;
    camera.setZoom(0.25f);
    a.view.applyReferenceFrame(1);
    a.view.changeCamera().orbit(1, 30.0f, a.ball.volume.center(), true);
    a.view.m_fHue = 100.0f;
    a.view.m_fShine = 12.0f;
    a.view.buildShadeTable();
    a.view.setRenderMode(RENDER_MIP);
    a.view.m_prefs.noTumble = false;
    a.view.changeVolume().setIsoValue(250);
    a.view.changeVolume().setWindowLevel(40, 400);
    a.view.changePlanes().add(a.ball.volume, a.ball.volume.halfSize(), Vec3(20, 24, 24), Vec3(1, 0, 0));
    a.view.changePlanes().add(a.ball.volume, a.ball.volume.halfSize(), Vec3(24, 30, 24), Vec3(0, 1, 0));
    a.view.m_bCutPlaneMode = true;
    a.view.m_iToolGroup = GROUP_CUT_PLANES;
    a.view.m_iRightTool = TOOL_CUT_MOVE;
    a.view.m_iProbeHU = 123;
    const std::string text = stateOf(a, captureA, kSavedStateMask);
    EXPECT_EQ(apply(std::string(kStateMarkerLine) + text), PeerStateStatus::Applied);
    EXPECT_EQ(stateOf(b, captureB, kSavedStateMask), text);
    EXPECT_TRUE(b.camera.perspective);
    EXPECT_EQ(b.view.m_iReferenceFrame, 1);
    EXPECT_EQ(b.view.planes().m_iNumCutPlanes, 2);
    EXPECT_EQ(b.view.planes().m_iSelectedCutPlane, 1);
}

TEST_F(PeerText, TextWaitsWhileImagesArriveAndOnlyTheLatestSurvives) {
    b.frame.completedFraction = 0.5;
    EXPECT_EQ(apply("J_renderer 1\n"), PeerStateStatus::Deferred);
    EXPECT_EQ(apply("J_renderer 2\n"), PeerStateStatus::Deferred);
    EXPECT_EQ(b.view.m_iRenderMode, RENDER_SSD);
    EXPECT_EQ(b.frame.pendingState, "J_renderer 2\n");
}

TEST_F(PeerText, MarkerAloneChangesNothing) {
    const std::string before = stateOf(b, captureB);
    EXPECT_EQ(apply(kStateMarkerLine), PeerStateStatus::Applied);
    EXPECT_EQ(stateOf(b, captureB), before);
}

TEST_F(PeerText, RejectsNonFiniteNumbers) {
    expectRefused("J_camera 0 nan 0.5 220 0.5 0.4 30\n");
    expectRefused("J_camera 0 0.3 0.5 inf 0.5 0.4 30\n");
    expectRefused("J_camvectors 10 10 nan 1 0 0 0 0 -1 0 1 0\n");
    expectRefused("J_cutplanes 1\ncutpln0data 1 2 inf 0 0 1\n");
}

TEST_F(PeerText, RejectsShadingThatLeavesTheColourTable) {
    expectRefused("J_camera 0 0.3 0.5 1e30 0.5 0.4 30\n");  // the hue would never wrap
    expectRefused("J_camera 0 0.3 0.5 220 1.5 0.4 30\n");
    expectRefused("J_camera 0 0.3 0.5 220 0.5 -2 30\n");
}

TEST_F(PeerText, RejectsRendererOutside0To2) {
    expectRefused("J_renderer 3\n");
    expectRefused("J_renderer -1\n");
    expectRefused("J_renderer 99999999999\n");
}

TEST_F(PeerText, RejectsCutPlaneCountAbove16) {
    std::string text = "J_cutplanes 17\n";
    for (int i = 0; i < 17; ++i) text += "cutpln" + std::to_string(i) + "data 24 24 24 1 0 0\n";
    expectRefused(text);
    expectRefused("J_cutplanes -1\n");
}

TEST_F(PeerText, MissingOrMalformedPlaneLineLeavesThePlaneTableWhole) {
    b.view.changePlanes().add(b.ball.volume, b.ball.volume.halfSize(), Vec3(20, 24, 24), Vec3(1, 0, 0));
    expectRefused("J_cutplanes 2\ncutpln0data 24 24 24 0 1 0\n");
    expectRefused("J_cutplanes 2\ncutpln0data 24 24 24 0 1 0\ncutpln1data 24 24 24 0 1\n");
    expectRefused("J_cutplanes 1\ncutpln0data 24 24 24 0 0 0\n");
    expectRefused("J_cutplanes 1\ncutpln0data 24 24 nan 0 0 1\n");
    EXPECT_EQ(b.view.planes().m_iNumCutPlanes, 1);
    EXPECT_FLOAT_EQ(b.view.planes().at(0)->normal.x, 1.0f);
}

TEST_F(PeerText, RejectsCameraOutsideItsSphere) {
    // Half-diagonal of the 48-voxel ball: about 41.6; 2.5 of them from the centre.
    expectRefused("J_camvectors 23.5 23.5 130 1 0 0 0 0 -1 0 1 0\n");
    expectRefused("J_camvectors 23.5 -90 23.5 0 1 0\n");
    expectRefused("J_camera 0 1.5 0.5 220 0.5 0.4 30\n");
    expectRefused("J_camera 0 0.3 -0.1 220 0.5 0.4 30\n");
    int refused = 0;
    apply("J_camvectors 23.5 -60 23.5 0 1 0\n", &refused);
    EXPECT_EQ(refused, 0);
    EXPECT_FLOAT_EQ(b.camera.position.y, -60.0f);
}

TEST_F(PeerText, CameraVectorsTakeOnly6Or12Numbers) {
    expectRefused("J_camvectors 23.5 -60 23.5 0 1\n");
    expectRefused("J_camvectors 23.5 -60 23.5 0 1 0 1\n");
    expectRefused("J_camvectors 23.5 -60 23.5 1 0 0 0 0 -1 0 1\n");
    expectRefused("J_camvectors 23.5 -60 23.5 0 0 0\n");
}

TEST_F(PeerText, RejectsToolsSelectionAndDragModesOutsideTheirTables) {
    expectRefused("J_control 3 12 0\n");
    expectRefused("J_control 0 14 0\n");
    expectRefused("J_control 0 12 15\n");
    expectRefused("J_cutplaneedit 0 1\n");  // no plane to select
    expectRefused("J_cutplaneedit -2 0\n");
}

TEST_F(PeerText, CaptureLineStoresTheSeriesAndAsksForTheImage) {
    EXPECT_EQ(apply("J_capture 384 384 1.2.3.1 1.2.9.7 1.2.9 5\n"), PeerStateStatus::Applied);
    ASSERT_EQ(actions.captures.size(), 1u);
    EXPECT_EQ(actions.captures[0].width, 384);
    EXPECT_EQ(actions.captures[0].firstImageId, "1.2.3.1");
    EXPECT_EQ(actions.captures[0].sopUid, "1.2.9.7");
    EXPECT_EQ(captureB.captureSeriesUid, "1.2.9");
    EXPECT_EQ(captureB.captureSeriesNumber, 5u);
}

TEST_F(PeerText, CaptureLineBeforeAnyCaptureIsIgnored) {
    a.frame.firstImageId.clear();
    apply(stateOf(a, captureA, CHANGE_CAPTURE));
    EXPECT_TRUE(actions.captures.empty());
}

TEST_F(PeerText, RejectsCaptureWordsLongerThan120AndSizesBeyondTheImage) {
    apply("J_capture 384 384 " + std::string(121, '1') + " 1.2 1.3 5\n");
    apply("J_capture 1024 384 1.1 1.2 1.3 5\n");
    apply("J_capture 0 384 1.1 1.2 1.3 5\n");
    apply("J_capture 384 384 1.1 1.2 1.3 -5\n");
    EXPECT_TRUE(actions.captures.empty());
    EXPECT_TRUE(captureB.captureSeriesUid.empty());
}

TEST_F(PeerText, PutUnderRunsTheQuickCaptureAfterTheOtherLines) {
    EXPECT_EQ(apply("J_putunder x\nJ_renderer 2\n"), PeerStateStatus::PutUnderHandled);
    EXPECT_EQ(actions.quickCaptures, 1);
    EXPECT_EQ(b.view.m_iRenderMode, RENDER_OPQ);
}

TEST_F(PeerText, EmptyHistoryLineResetsOnlyASegmentedView) {
    b.view.m_segHistory = "SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 16383JSEGENDJ";
    apply("J_seghistory \n");
    EXPECT_TRUE(b.view.m_segHistory.empty());
    apply("J_seghistory SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 16383JSEGENDJ\n");
    EXPECT_EQ(b.view.m_segHistory, "SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 16383JSEGENDJ");
}

// A tool command sends only its control line; the sender left the cut-plane
// mode with the cut-plane tools, so the follower leaves it too, also when an
// older edit line comes with it (a late joiner's merged state).
TEST_F(PeerText, CutPlaneModeHoldsOnlyWithTheCutPlaneTools) {
    b.view.m_iToolGroup = GROUP_CUT_PLANES;
    b.view.m_bCutPlaneMode = true;
    apply("J_control 0 0 0\n");
    EXPECT_FALSE(b.view.m_bCutPlaneMode);
    apply("J_cutplaneedit -1 1\nJ_control 0 0 0\n");
    EXPECT_FALSE(b.view.m_bCutPlaneMode);
    apply("J_cutplaneedit -1 1\nJ_control 1 6 0\n");
    EXPECT_TRUE(b.view.m_bCutPlaneMode);
}

// The export dialog's closing message repeats the last image's line.
TEST_F(PeerText, RepeatedCaptureLineCreatesTheImageOnce) {
    const std::string line = "J_capture 64 48 1.2.3 1.2.3.4.5 1.2.3.4 7\n";
    apply(line);
    apply(line);
    ASSERT_EQ(actions.captures.size(), 1u);
    apply("J_capture 64 48 1.2.3 1.2.3.4.6 1.2.3.4 7\n");
    EXPECT_EQ(actions.captures.size(), 2u);
}

// A desktop session may run with a decimal comma. The texts go to peers, to
// layouts and into captures read on other machines: their numbers must be
// written and read with a point all the same.
class CommaLocale {
public:
    CommaLocale() {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return;
        // Not installed: compiled into a private folder when the sources are there.
        const std::string folder = ::testing::TempDir() + "comma-locale";
        const std::string make = "mkdir -p " + folder + " && localedef -i de_DE -f UTF-8 " + folder +
                                 "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(make.c_str()) == 0) {
            setenv("LOCPATH", folder.c_str(), 1);
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
    bool active() const { return std::localeconv()->decimal_point[0] == ','; }
};

TEST_F(PeerText, NumbersKeepTheirPointUnderACommaLocale) {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma here";
    const std::string text = stateOf(a, captureA, CHANGE_CAMERA);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "J_camera 0 0.375000 0.492063 220.000000 0.500000 0.400000 30.000000\n");
    apply("J_camera 1 0.250000 0.100000 100.500000 0.500000 0.400000 30.000000\n");
    EXPECT_EQ(b.view.m_fHue, 100.5f);
}

}  // namespace

namespace {

// The edit line carries the selected plane first, then the mode: a round
// trip cannot tell the two apart, the line's own text can.
TEST_F(PeerText, CutPlaneEditLineCarriesTheSelectedPlaneThenTheMode) {
    a.view.changePlanes().add(a.ball.volume, a.ball.volume.halfSize(), Vec3(20, 24, 24), Vec3(1, 0, 0));
    a.view.changePlanes().add(a.ball.volume, a.ball.volume.halfSize(), Vec3(24, 30, 24), Vec3(0, 1, 0));
    a.view.m_iToolGroup = GROUP_CUT_PLANES;
    a.view.selectCutPlane(0);
    a.view.m_bCutPlaneMode = true;
    EXPECT_NE(stateOf(a, captureA, CHANGE_CUT_PLANES).find("\nJ_cutplaneedit 0 1\n"), std::string::npos);
    b.view.changePlanes().add(b.ball.volume, b.ball.volume.halfSize(), Vec3(20, 24, 24), Vec3(1, 0, 0));
    b.view.changePlanes().add(b.ball.volume, b.ball.volume.halfSize(), Vec3(24, 30, 24), Vec3(0, 1, 0));
    apply("J_justspec dummy\nJ_control 1 6 0\nJ_cutplaneedit 1 0\n");
    EXPECT_EQ(b.view.planes().m_iSelectedCutPlane, 1);
    EXPECT_FALSE(b.view.m_bCutPlaneMode);
}

}  // namespace

namespace {

// A restored text has no next message: every operation of its history is
// replayed at once. A peer's message goes in batches, and the window is
// asked to go on with the rest.
TEST_F(PeerText, RestoreReplaysEveryOperationAndAPeerMessageAsksToGoOn) {
    std::string history;
    const int operations = kMaxReplayedOperations + 8;
    for (int i = 0; i < operations; ++i)
        history += floodRecords(Vec3(2.0f + 0.25f * static_cast<float>(i), 3.0f, 3.0f), false, false, {}, 0, 100);
    apply("J_seghistory " + history + "\n");
    EXPECT_EQ(b.view.m_segHistory, history);
    EXPECT_TRUE(actions.continued.empty());

    ViewFixture c;
    c.frame.completedFraction = 1.0;
    CaptureRecord captureC;
    applyPeerState(c.view, captureC, actions, "J_justspec dummy\nJ_seghistory " + history + "\n");
    ASSERT_EQ(actions.continued.size(), 1u);
    EXPECT_EQ(actions.continued[0], history);
    EXPECT_EQ(applySegHistory(c.view, history).replayed, operations - kMaxReplayedOperations);
    EXPECT_EQ(c.view.m_segHistory, history);
}

}  // namespace
