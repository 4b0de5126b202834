// Loading a host series into a 3D window and refreshing it while images
// arrive, against the recording host.
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CPerspective.h"
#include "volume/CVolume.h"
#include "volume/SeriesRates.h"
#include "wire/ImageList.h"
#include "collab/SegHistoryReplay.h"
#include "collab/SessionText.h"
#include "wire/SegRecords.h"
#include "segment/SegmentMask.h"
#include "wire/StateLines.h"
#include "render/Camera.h"

#include "FakeHost.h"
#include "QVMessage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace v3d;

namespace {

// A host volume record over a small block: a cube of 300 HU in air.
struct FakeVolume {
    static constexpr int kSize = 24;
    std::vector<uint16_t> values = std::vector<uint16_t>(kSize * kSize * kSize, 0);
    std::vector<std::string> ids;
    std::vector<char*> idPointers;
    QVVolumeRecord record{};

    FakeVolume() {
        for (int z = 6; z < 18; ++z)
            for (int y = 6; y < 18; ++y)
                for (int x = 6; x < 18; ++x) values[static_cast<size_t>((z * kSize + y) * kSize + x)] = 1324;
        for (int i = 0; i < kSize; ++i) ids.push_back("slice" + std::to_string(i));
        for (auto& id : ids) idPointers.push_back(id.data());
        record.values = values.data();
        record.columns = record.rows = record.slices = kSize;
        record.spacingX = record.spacingY = 0.5;
        record.spacingZ = 1.0;
        record.rowDir[0] = record.colDir[1] = record.sliceDir[2] = 1.0;
        record.rawBase = 0;
        record.slope = 1.0;
        record.intercept = -1024.0;
        record.valueRange = 4095;
        record.imageCount = kSize;
        record.imageIds = idPointers.data();
    }
};

class FrameSeries : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        CBackground::setPhysicalMemoryForTesting(64ull << 30);
        cell = std::make_unique<QWidget>();
        cell->resize(400, 400);
        frame = CBackground::createInCell(cell.get());
        fakeHost().nextVolume = &fake.record;
        for (const auto& id : fake.ids) fakeHost().completion[id] = 1.0;
    }
    void TearDown() override {
        delete frame;
        cell.reset();
        CBackground::setPhysicalMemoryForTesting(0);
    }
    void setCompletion(double c) {
        for (const auto& id : fake.ids) fakeHost().completion[id] = c;
    }
    std::vector<std::string> request() const { return {"slice3", "slice1"}; }

    FakeVolume fake;
    std::unique_ptr<QWidget> cell;
    CBackground* frame = nullptr;
};

TEST_F(FrameSeries, LoadBuildsAndClassifiesTheVolumeInTheHostsOrder) {
    ASSERT_TRUE(frame->loadSeries(request()));
    EXPECT_EQ(frame->series.m_bHasSeries, 1);
    EXPECT_EQ(frame->series.hostVolume, &fake.record);
    EXPECT_EQ(frame->series.firstImageId, "slice3");
    ASSERT_EQ(frame->series.imageIds.size(), fake.ids.size());
    EXPECT_EQ(frame->series.imageIds.front(), "slice0") << "the record's order replaces the request";
    const CVolume& volume = *frame->volume;
    EXPECT_EQ(volume.sizeX, FakeVolume::kSize);
    EXPECT_EQ(volume.minSpacing, 0.5f);
    EXPECT_EQ(volume.storedToHU(1324), 300);
    EXPECT_EQ(fakeHost().count("QVCreateVolume(2,slice3,3)"), 1);
    EXPECT_EQ(frame->series.refreshTimer, 0) << "a complete series starts no timer";
    EXPECT_EQ(frame->view()->m_iReferenceFrame, 0);
    EXPECT_TRUE(frame->view()->m_bRenderPending);
}

// How often the window handed a host volume back.
int releasesOf(const QVVolumeRecord& record) {
    std::ostringstream call;
    call << "QVReleaseVolume(" << static_cast<const void*>(&record) << ")";
    return fakeHost().count(call.str());
}

TEST_F(FrameSeries, LoadingSeriesBReleasesSeriesAOnceAndClosingReleasesB) {
    FakeVolume b;
    ASSERT_TRUE(frame->loadSeries(request()));
    EXPECT_EQ(releasesOf(fake.record), 0);
    fakeHost().nextVolume = &b.record;
    ASSERT_TRUE(frame->loadSeries({"slice5", "slice6"}));
    EXPECT_EQ(frame->series.hostVolume, &b.record);
    EXPECT_EQ(releasesOf(fake.record), 1) << "the series shown before goes back once";
    EXPECT_EQ(releasesOf(b.record), 0) << "the series shown now is kept";
    delete frame;
    frame = nullptr;
    EXPECT_EQ(releasesOf(fake.record), 1);
    EXPECT_EQ(releasesOf(b.record), 1) << "closing the window hands back what it showed";
}

TEST_F(FrameSeries, WindowLevelQueryAnswersInHounsfieldUnits) {
    ASSERT_TRUE(frame->loadSeries(request()));
    WindowLevelRecord record{};
    record.size = 1056;
    ASSERT_EQ(qv::sendMessage(frame->handle(), QV_MSG_GET_WINDOW_LEVEL, 1, reinterpret_cast<intptr_t>(&record)), 1);
    EXPECT_EQ(record.valid, 1);
    EXPECT_EQ(record.width, 1000);
    EXPECT_EQ(record.level, 0);
    EXPECT_EQ(record.maxWidth, 5999);
    EXPECT_EQ(record.minLevel, -2995);
    EXPECT_EQ(record.maxLevel, 2995);
    record.level = 40;
    record.width = 400;
    ASSERT_EQ(qv::sendMessage(frame->handle(), QV_MSG_SET_WINDOW_LEVEL, 1, reinterpret_cast<intptr_t>(&record)), 1);
    EXPECT_EQ(frame->volume->windowLowStored, frame->volume->huToStored(-160));
    EXPECT_EQ(frame->volume->windowHighStored, frame->volume->huToStored(240));
}

TEST_F(FrameSeries, RefusedSlicesShowTheGeometryMessageAndKeepTheVolume) {
    ASSERT_TRUE(frame->loadSeries(request()));
    fakeHost().nextVolume = nullptr;
    fakeHost().messageBoxes.clear();
    EXPECT_FALSE(frame->loadSeries({"other"}));
    ASSERT_EQ(fakeHost().messageBoxes.size(), 1u);
    EXPECT_EQ(fakeHost().messageBoxes[0],
              "Error|Slices in this series are not parallel/equidistant. Cannot reconstruct volume.\n"
              "[Verify if  Settings|Customize Settings|Layout|Split Series setting is on.]|262144");
    EXPECT_EQ(frame->series.hostVolume, &fake.record);
    EXPECT_EQ(frame->series.m_bHasSeries, 1);
}

TEST_F(FrameSeries, CancelOnTheMemoryWarningChangesNothing) {
    ASSERT_TRUE(frame->loadSeries(request()));
    const auto idsBefore = frame->series.imageIds;
    CBackground::setPhysicalMemoryForTesting(1 << 20);
    fakeHost().messageBoxAnswer = QV_IDCANCEL;
    fakeHost().calls.clear();
    EXPECT_FALSE(frame->loadSeries({"x"}));
    ASSERT_EQ(fakeHost().messageBoxes.size(), 1u);
    EXPECT_EQ(fakeHost().messageBoxes[0],
              "Error|This system may lack sufficient physical memory    \n"
              "to visualize this dataset in 3D in real-rime!    |262193");
    EXPECT_EQ(fakeHost().count("QVCreateVolume("), 0);
    EXPECT_EQ(frame->series.imageIds, idsBefore);
    EXPECT_EQ(frame->series.hostVolume, &fake.record);
}

TEST_F(FrameSeries, OkOnTheMemoryWarningGoesOn) {
    CBackground::setPhysicalMemoryForTesting(1 << 20);
    EXPECT_TRUE(frame->loadSeries(request()));
}

TEST(SeriesMemory, RequirementOfFourGigabytesAndMoreDoesNotWrap) {
    // 512 x 512 x 8192 two-byte values: exactly 4 GiB, which 32 bits wrap to 0.
    const uint64_t required = requiredMemory(2, 512, 512, 8192);
    EXPECT_EQ(required, 17ull * ((4ull << 30) / 8) + 62914560ull);
    EXPECT_EQ(requiredMemory(1, 0, 512, 10), 62914560ull);
}

TEST_F(FrameSeries, HugeSeriesWarnsOnAMachineTooSmallForIt) {
    CBackground::setPhysicalMemoryForTesting(4ull << 30);
    fakeHost().messageBoxAnswer = QV_IDCANCEL;
    std::vector<std::string> ids(8192, "big");
    fakeHost().rows["big"] = fakeHost().columns["big"] = 512;
    EXPECT_FALSE(frame->loadSeries(ids));
    EXPECT_EQ(fakeHost().messageBoxes.size(), 1u);
}

TEST_F(FrameSeries, RefreshWaitsForATenthThenFollowsToCompletion) {
    setCompletion(0.30);
    ASSERT_TRUE(frame->loadSeries(request()));
    EXPECT_NE(frame->series.refreshTimer, 0);
    EXPECT_DOUBLE_EQ(frame->series.completedFraction, 0.30);
    setCompletion(0.35);
    frame->refreshTick();
    EXPECT_EQ(fakeHost().count("QVUpdateVolume("), 0) << "0.35 is less than a tenth more";
    setCompletion(0.41);
    frame->refreshTick();
    EXPECT_EQ(fakeHost().count("QVUpdateVolume("), 1);
    EXPECT_DOUBLE_EQ(frame->series.completedFraction, 0.41);
    setCompletion(0.45);
    frame->refreshTick();
    EXPECT_EQ(fakeHost().count("QVUpdateVolume("), 1);
    setCompletion(1.0);  // less than a tenth more, but complete
    frame->refreshTick();
    EXPECT_EQ(fakeHost().count("QVUpdateVolume("), 2);
    EXPECT_EQ(frame->series.refreshTimer, 0) << "completion stops the timer";
}

TEST_F(FrameSeries, ListThatIsTheWindowsOwnIsNotRebuilt) {
    ASSERT_TRUE(frame->loadSeries(request()));
    frame->series.imageIds = {"kept-a", "kept-b"};
    ASSERT_TRUE(frame->loadSeries(frame->series.imageIds));
    EXPECT_EQ(frame->series.imageIds, std::vector<std::string>({"kept-a", "kept-b"}));
}

TEST_F(FrameSeries, SeriesOfEightSlicesIsRefusedWithAMessageAndTheWindowStaysUsable) {
    fake.record.slices = 8;
    fakeHost().messageBoxes.clear();
    EXPECT_FALSE(frame->loadSeries(request()));
    ASSERT_EQ(fakeHost().messageBoxes.size(), 1u);
    EXPECT_NE(fakeHost().messageBoxes[0].find("Too few images for a 3D view: at least 9 are needed."),
              std::string::npos)
        << fakeHost().messageBoxes[0];
    EXPECT_EQ(frame->series.m_bHasSeries, 0);
    fake.record.slices = FakeVolume::kSize;
    EXPECT_TRUE(frame->loadSeries(request())) << "the next drop loads";
}

TEST_F(FrameSeries, RecordWithoutVoxelsIsRefused) {
    fake.record.values = nullptr;
    fake.record.sliceValues = nullptr;
    EXPECT_FALSE(frame->loadSeries(request()));
    EXPECT_EQ(frame->series.m_bHasSeries, 0);
}


TEST_F(FrameSeries, SavedStateWaitsForTheImagesAndLoadsThemOnce) {
    setCompletion(0.30);
    const std::string text = "version 0\nimages " + escapeValue(packImageList(request())) + "\nJ_renderer 1\n";
    EXPECT_EQ(frame->handlePeerText(text.c_str()), 1);
    EXPECT_EQ(fakeHost().count("QVCreateVolume("), 1);
    EXPECT_EQ(frame->view()->m_iRenderMode, RENDER_SSD) << "the state waits for the images";
    EXPECT_EQ(frame->series.pendingState, text);
    setCompletion(1.0);
    frame->refreshTick();
    EXPECT_EQ(frame->view()->m_iRenderMode, RENDER_MIP);
    EXPECT_TRUE(frame->series.pendingState.empty());
    EXPECT_EQ(fakeHost().count("QVCreateVolume("), 1) << "the deferred state loads no series again";
}

TEST_F(FrameSeries, GreyCaptureRescalesFromTheStoredValueBase) {
    fake.record.rawBase = 10;
    fake.record.slope = 2.0;
    fake.record.intercept = -1024.0;
    ASSERT_TRUE(frame->loadSeries(request()));
    frame->view()->setRenderMode(RENDER_MIP);
    frame->view()->renderForExport(64, 64, nullptr);
    int file = 0;
    fakeHost().nextNewFile = reinterpret_cast<QVNewFileHandle>(&file);
    frame->createDicomImage(64, 64, "slice1", "", "", 0);
    // Stored value s is raw value s + 10, worth (s + 10) x 2 - 1024 HU.
    const std::vector<std::string> intercept = fakeHost().callsStartingWith("QVNewFileSetDatasetFloat64");
    bool found = false;
    for (const std::string& call : intercept)
        if (call.find(",40,4178,") != std::string::npos) {  // (0028,1052)
            found = true;
            EXPECT_NE(call.find(",40,4178,-1004,1)"), std::string::npos) << call;
        }
    EXPECT_TRUE(found);
    EXPECT_EQ(fakeHost().count("QVDestroyNewFile("), 1) << "no image came back";
}

}  // namespace

namespace {

// A peer opening its window on the series sends the images of its panel:
// the window showing them keeps its pose instead of loading them anew.
TEST_F(FrameSeries, StartupListOfTheShownImagesKeepsThePose) {
    ASSERT_TRUE(frame->loadSeries(request()));
    frame->view()->changeCamera().orbit(AXIS_FIRST, 37.0f, frame->volume->center(), true);
    const Vec3 view = frame->camera->view;
    EXPECT_EQ(frame->handlePeerText(buildStartupListText({"slice5", "slice2"}).c_str()), 1);
    EXPECT_EQ(fakeHost().count("QVCreateVolume("), 1);
    EXPECT_EQ(frame->camera->view, view);
    EXPECT_EQ(frame->handlePeerText(buildStartupListText({"other"}).c_str()), 1);
    EXPECT_EQ(fakeHost().count("QVCreateVolume("), 2) << "another series loads";
}

}  // namespace

namespace {

// Index of the first recorded call starting with prefix, -1 when none.
int firstCall(const std::string& prefix) {
    const std::vector<std::string>& calls = fakeHost().calls;
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    return -1;
}

// The quick capture of a dropped capture: a failed new file leaves the
// dropped image in the study; a made one takes its place only when whole.
TEST_F(FrameSeries, QuickCaptureDeletesTheDroppedImageOnlyOnceItsReplacementIsMade) {
    ASSERT_TRUE(frame->loadSeries(request()));
    frame->capture.replaceableImageId = "dropped";
    fakeHost().deletable["dropped"] = true;
    fakeHost().sopUid["dropped"] = "1.2.3.4";
    fakeHost().nextNewFile = nullptr;  // the host makes no new file
    fakeHost().calls.clear();
    frame->quickCapture();
    EXPECT_EQ(fakeHost().count("QVDeleteImage("), 0);
    int file = 0;
    fakeHost().nextNewFile = reinterpret_cast<QVNewFileHandle>(&file);
    fakeHost().nextAddedImageId = "1.2.3.4";
    fakeHost().calls.clear();
    frame->quickCapture();
    const int created = firstCall("QVCreateNewDicomFile("), deleted = firstCall("QVDeleteImage("),
              added = firstCall("QVNewFileAddToViewer(");
    EXPECT_TRUE(created >= 0 && created < deleted && deleted < added) << created << " " << deleted << " " << added;
}

}  // namespace

namespace {

// A state every peer would refuse whole is not sent; the user is told.
TEST_F(FrameSeries, StateLongerThanPeersReadIsNotSentAndTheUserIsTold) {
    ASSERT_TRUE(frame->loadSeries(request()));
    frame->view()->m_segHistory.assign(kMaxPeerTextBytes, 'J');
    fakeHost().messageBoxes.clear();
    fakeHost().calls.clear();
    frame->sendStateToPeers(CHANGE_SEGMENTATION);
    EXPECT_EQ(fakeHost().count("QVSendDataToCollaborationPeers("), 0);
    EXPECT_EQ(fakeHost().messageBoxes.size(), 1u);
    frame->view()->m_segHistory.clear();
    frame->sendStateToPeers(CHANGE_SEGMENTATION);
    EXPECT_EQ(fakeHost().count("QVSendDataToCollaborationPeers("), 1);
}

}  // namespace

namespace {

// The image tools' double-click: the bare marker line goes to the peers
// first, then the capture's own message.
TEST_F(FrameSeries, ImageToolDoubleClickSendsTheBareMarkerBeforeTheCapture) {
    ASSERT_TRUE(frame->loadSeries(request()));
    fakeHost().collaborationControl = 1;
    int file = 0;
    fakeHost().nextNewFile = reinterpret_cast<QVNewFileHandle>(&file);
    fakeHost().nextAddedImageId = "1.2.3.9";
    fakeHost().sentToPeers.clear();
    CPerspective* view = frame->view();
    const QPointF at(100, 100);
    QMouseEvent click(QEvent::MouseButtonDblClick, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &click);
    ASSERT_GE(fakeHost().sentToPeers.size(), 2u);
    EXPECT_EQ(fakeHost().sentToPeers[0], "J_justspec dummy\n");
    EXPECT_NE(fakeHost().sentToPeers[1].find("J_capture "), std::string::npos);
}

}  // namespace

namespace {

// Images arriving after a segmentation: the refreshed volume shows what the
// history says; a new series starts with an empty history.
TEST_F(FrameSeries, RefreshKeepsTheSegmentationAndANewSeriesStartsWithout) {
    setCompletion(0.30);
    ASSERT_TRUE(frame->loadSeries(request()));
    // The cube (300 HU) removed by a flood from its centre.
    const std::string history = floodRecords(Vec3(12, 12, 12), false, false, {}, 1000, 4096);
    applySegHistory(*frame->view(), history, kReplayEverything);
    ASSERT_EQ(frame->volume->cellMask[12][12][12] & kKeptBit, 0);
    setCompletion(0.50);
    frame->refreshTick();
    ASSERT_EQ(fakeHost().count("QVUpdateVolume("), 1);
    EXPECT_EQ(frame->view()->m_segHistory, history);
    EXPECT_EQ(frame->volume->cellMask[12][12][12] & kKeptBit, 0) << "still removed";
    ASSERT_TRUE(frame->loadSeries({"slice2"}));
    EXPECT_TRUE(frame->view()->m_segHistory.empty());
}

}  // namespace
