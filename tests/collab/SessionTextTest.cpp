// Saved-state texts, startup image lists, drop recognition and the private
// state blob of captured images.
#include "collab/CaptureRecord.h"
#include "collab/SessionText.h"
#include "wire/StateLines.h"
#include "collab/StateText.h"

#include "ViewFixture.h"

#include <gtest/gtest.h>

namespace {

struct SessionText : ::testing::Test {
    ViewFixture f;
    CaptureRecord capture;
};

TEST_F(SessionText, WindowWithoutImagesAnswersAnEmptyText) {
    EXPECT_EQ(buildSessionText(true, f.view, f.frame, capture, {}), "");
    EXPECT_EQ(buildSessionText(false, f.view, f.frame, capture, {}), "");
}

TEST_F(SessionText, FullFormRestoresImagesCaptureSeriesAndSlices) {
    f.frame.imageIds = {"1.2.3.4.5.6.7", "1.2.3.4.5.6.8", "odd\n*id"};
    f.frame.sliceNumber = 7;
    f.frame.sliceDistance = 2.5;
    capture.prevSeriesId = "1.2.840.99*\n";
    capture.prevSeriesNumber = 4000000000u;
    const std::string text = buildSessionText(true, f.view, f.frame, capture, {});
    EXPECT_EQ(text.rfind("version 0\nimages ", 0), 0u);
    EXPECT_EQ(text.find("J_justspec"), std::string::npos);
    EXPECT_NE(text.find("\nprevseriesnum 4000000000\nslicenum 7\nslicedist 2.500000\nJ_camera "), std::string::npos);
    EXPECT_NE(text.find("J_cutplaneedit "), std::string::npos);
    EXPECT_EQ(text.find("J_capture "), std::string::npos);
    const SessionRestore restore = parseSessionText(text);
    EXPECT_EQ(restore.source, SessionRestore::Source::Images);
    EXPECT_EQ(restore.ids, f.frame.imageIds);
    EXPECT_EQ(restore.prevSeriesId, capture.prevSeriesId);
    EXPECT_EQ(restore.prevSeriesNumber, 4000000000u);
    EXPECT_EQ(restore.sliceNumber.value_or(0), 7);
    EXPECT_DOUBLE_EQ(restore.sliceDistance.value_or(0), 2.5);
}

TEST_F(SessionText, CompactFormNamesTheGroupAndTheCameraGroup) {
    f.frame.imageIds = {"1.2.3"};
    const std::string text = buildSessionText(false, f.view, f.frame, capture, {2, 5});
    EXPECT_EQ(text, "version 0\ngroup 2 5\n" + buildStateText(f.view, capture, CHANGE_CAMERA));
    const SessionRestore restore = parseSessionText(text);
    EXPECT_EQ(restore.source, SessionRestore::Source::Group);
    EXPECT_EQ(restore.group.study, 2);
    EXPECT_EQ(restore.group.group, 5);
    EXPECT_EQ(parseSessionText("group 0 0\n").source, SessionRestore::Source::Group);
    EXPECT_EQ(parseSessionText("group 0\n").source, SessionRestore::Source::None);
}

TEST_F(SessionText, StartupListWinsOverEverythingElse) {
    const std::string text = "images " + escapeValue(packImageList({"9.9"})) + "\n" + buildStartupListText({"1.2", "1.3"});
    const SessionRestore restore = parseSessionText(text);
    EXPECT_EQ(restore.source, SessionRestore::Source::StartupList);
    EXPECT_EQ(restore.ids, (std::vector<std::string>{"1.2", "1.3"}));
}

TEST_F(SessionText, UnreadableNumbersAreLeftUnset) {
    const SessionRestore restore = parseSessionText("images \x01\nprevseriesnum -4\nslicenum x\nslicedist nan\n");
    EXPECT_EQ(restore.prevSeriesNumber, 0u);
    EXPECT_FALSE(restore.sliceNumber);
    EXPECT_FALSE(restore.sliceDistance);
}

TEST(DropRecognition, DebugBuildsCountAsThePlugin) {
    const char* id = "Orlinex Quarvia Vexel 3D demo";
    EXPECT_TRUE(madeByPlugin(id, id));
    EXPECT_TRUE(madeByPlugin("Orlinex Quarvia Vexel 3D demo (Debug)", id));
    EXPECT_TRUE(madeByPlugin(id, "Orlinex Quarvia Vexel 3D demo (Debug)"));
    EXPECT_FALSE(madeByPlugin("Orlinex Quarvia Vexel 3D", id));
    EXPECT_FALSE(madeByPlugin("", id));
    EXPECT_TRUE(madeByPlugin("(Debug)", ""));
}

TEST(StateBlob, RefusesABlobWithoutItsTerminatingZero) {
    const std::string text = "version 0\n";
    EXPECT_EQ(stateTextOfBlob(reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1).value_or("?"), text);
    EXPECT_FALSE(stateTextOfBlob(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    const std::string inner("a\0b", 4);
    EXPECT_FALSE(stateTextOfBlob(reinterpret_cast<const uint8_t*>(inner.data()), inner.size()));
    // An odd text length comes back padded to an even one.
    const std::string padded("ab\0\0", 4);
    EXPECT_EQ(stateTextOfBlob(reinterpret_cast<const uint8_t*>(padded.data()), padded.size()).value_or("?"), "ab");
    EXPECT_FALSE(stateTextOfBlob(nullptr, 0));
}

TEST(StateBlob, RefusesABlobAboveTheLimit) {
    std::vector<uint8_t> big(kMaxStateBlob + 1, 'a');
    big.back() = 0;
    EXPECT_FALSE(stateTextOfBlob(big.data(), big.size()));
    big.resize(kMaxStateBlob);
    big.back() = 0;
    EXPECT_TRUE(stateTextOfBlob(big.data(), big.size()));
}

TEST(StateBlob, DroppedStateNamesTheCaptureSeries) {
    const std::string state = "version 0\nprevseriesid old\nimages x\nprevseriesnum 3\nJ_renderer 1";
    EXPECT_EQ(rewriteDroppedState(state, "1.2*5", "12"),
              "version 0\nimages x\nJ_renderer 1\nprevseriesid 1.2**5\nprevseriesnum 12\n");
}

}  // namespace
