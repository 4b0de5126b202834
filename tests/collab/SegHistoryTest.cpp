// Received segmentation histories replayed on a view: each operation once,
// the same voxels as where it was made, and nothing run from a history that
// no view could have written.
#include "wire/SegRecords.h"
#include "collab/SegHistoryReplay.h"
#include "wire/SegRecords.h"
#include "segment/KeptMaskCodec.h"
#include "segment/Segmenter.h"
#include "view/ViewSegmentation.h"

#include "ViewFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The ball's centre and its density range as stored values.
const Vec3 kCentre(23.5f, 23.5f, 23.5f);
constexpr int kBallLow = 1000;
constexpr int kBallHigh = 16383;

std::vector<uint8_t> maskOf(const CVolume& v) {
    std::vector<uint8_t> mask;
    for (int k = 0; k < v.sizeZ; ++k)
        for (int j = 0; j < v.sizeY; ++j) mask.insert(mask.end(), v.cellMask[k][j], v.cellMask[k][j] + v.sizeX);
    return mask;
}

size_t keptCount(const CVolume& v) {
    size_t n = 0;
    for (uint8_t m : maskOf(v)) n += (m & kKeptBit) ? 1 : 0;
    return n;
}

// A removing flood of the ball, bounded by planes when there are any.
std::string removeBall(const std::vector<SegmentPlane>& planes = {}, int low = kBallLow) {
    return floodRecords(kCentre, false, !planes.empty(), planes, low, kBallHigh);
}

// A square outline in front of the ball, cut along +z.
std::string squareOutline(bool keep, const char* corner = "14.000000") {
    const std::string c = corner;
    return "SEGROIBEGIN 0.000000 0.000000 1.000000 " + std::string(keep ? "1" : "0") +
           " 4 -20.000000 100J"
           "SEGROIPOINT " + c + " 14.000000 -30.000000J"
           "SEGROIPOINT 34.000000 14.000000 -30.000000J"
           "SEGROIPOINT 34.000000 34.000000 -30.000000J"
           "SEGROIPOINT " + c + " 34.000000 -30.000000J"
           "SEGROIENDJ";
}

class SegHistory : public ::testing::Test {
protected:
    ViewFixture sender, receiver;
};

TEST_F(SegHistory, ReplayedFloodMarksTheSameVoxelsAsTheLocalOne) {
    const std::vector<SegmentPlane> planes{{Vec3(30, 24, 24), Vec3(1, 0, 0)}};
    Segmenter(sender.view.changeVolume()).floodFromPoint(kCentre.x, kCentre.y, kCentre.z, false, true, planes,
                                                        kBallLow, kBallHigh);
    const size_t before = keptCount(*receiver.view.m_pVolume);
    const SegReplayResult r = applySegHistory(receiver.view, removeBall(planes));
    EXPECT_EQ(r.replayed, 1);
    EXPECT_LT(keptCount(*receiver.view.m_pVolume), before);
    EXPECT_EQ(maskOf(*receiver.view.m_pVolume), maskOf(*sender.view.m_pVolume));
    // The flood's planes are its own: the view's plane table is untouched.
    EXPECT_EQ(receiver.view.planes().m_iNumCutPlanes, 0);
    EXPECT_EQ(receiver.view.m_segHistory, removeBall(planes));
}

TEST_F(SegHistory, HistoryReceivedTwiceSegmentsOnce) {
    const std::string history = removeBall() + squareOutline(true);
    const std::vector<uint8_t> untouched = maskOf(*receiver.view.m_pVolume);
    SegReplayResult r = applySegHistory(receiver.view, squareOutline(true));
    EXPECT_EQ(r.replayed, 1);
    EXPECT_NE(maskOf(*receiver.view.m_pVolume), untouched);
    r = applySegHistory(receiver.view, history);
    EXPECT_EQ(r.replayed, 1);
    const std::vector<uint8_t> once = maskOf(*receiver.view.m_pVolume);
    r = applySegHistory(receiver.view, history);
    EXPECT_EQ(r.replayed, 0);
    EXPECT_EQ(r.alreadyHeld, 2);
    EXPECT_EQ(maskOf(*receiver.view.m_pVolume), once);
    EXPECT_EQ(receiver.view.m_segHistory, squareOutline(true) + removeBall());
}

TEST_F(SegHistory, OnlyTheOperationsTheViewLacksAreRun) {
    applySegHistory(receiver.view, removeBall());
    const SegReplayResult r = applySegHistory(receiver.view, removeBall() + squareOutline(false));
    EXPECT_EQ(r.alreadyHeld, 1);
    EXPECT_EQ(r.replayed, 1);
}

// Six decimals of a number written elsewhere need not read back the same:
// the history keeps the received bytes, so the repeat is recognised.
TEST_F(SegHistory, OutlineWrittenWithOtherDecimalsIsHeldAfterItsReplay) {
    const std::string history = squareOutline(true, "14.1");
    EXPECT_EQ(applySegHistory(receiver.view, history).replayed, 1);
    EXPECT_EQ(applySegHistory(receiver.view, history).replayed, 0);
}

TEST_F(SegHistory, EmptyHistoryResetsOnlyASegmentedView) {
    EXPECT_FALSE(applySegHistory(receiver.view, "").reset);
    applySegHistory(receiver.view, removeBall());
    ASSERT_LT(keptCount(*receiver.view.m_pVolume), keptCount(sender.ball.volume));
    EXPECT_TRUE(applySegHistory(receiver.view, "").reset);
    EXPECT_TRUE(receiver.view.m_segHistory.empty());
    EXPECT_EQ(maskOf(*receiver.view.m_pVolume), maskOf(*sender.view.m_pVolume));
}

TEST_F(SegHistory, ReplayStopsAfterItsBoundAndGoesOnWithTheNextMessage) {
    // Distinct floods (each bound differs) of a range no voxel has: quick.
    std::string history;
    for (int i = 0; i < kMaxReplayedOperations + 8; ++i) history += removeBall({}, 10000 + i);
    SegReplayResult r = applySegHistory(receiver.view, history);
    EXPECT_EQ(r.replayed, kMaxReplayedOperations);
    EXPECT_TRUE(r.cutOff);
    r = applySegHistory(receiver.view, history);
    EXPECT_EQ(r.replayed, 8);
    EXPECT_EQ(r.alreadyHeld, kMaxReplayedOperations);
    EXPECT_FALSE(r.cutOff);
    EXPECT_EQ(receiver.view.m_segHistory, history);
}

// Each malformed operation is refused whole; the good one beside it runs.
void expectRefused(ViewFixture& f, const std::string& bad) {
    const std::vector<uint8_t> before = maskOf(*f.view.m_pVolume);
    const SegReplayResult r = applySegHistory(f.view, bad);
    EXPECT_EQ(r.replayed, 0) << bad;
    EXPECT_EQ(r.malformed, 1) << bad;
    EXPECT_EQ(maskOf(*f.view.m_pVolume), before) << bad;
    EXPECT_TRUE(f.view.m_segHistory.empty()) << bad;
}

TEST_F(SegHistory, RefusesAnOutlineAnnouncingMoreThan1024Points) {
    std::string text = "SEGROIBEGIN 0.000000 0.000000 1.000000 1 1025 -20.000000 100J";
    for (int i = 0; i < 1025; ++i) text += "SEGROIPOINT 20.000000 20.000000 -30.000000J";
    expectRefused(receiver, text + "SEGROIENDJ");
}

TEST_F(SegHistory, RefusesADepthRangeBeyondTheVolumeDiagonal) {
    std::string text = squareOutline(true);
    text.replace(text.find(" 100J"), 5, " 100000000J");
    expectRefused(receiver, text);
}

TEST_F(SegHistory, RefusesOutlinePointsFarOutsideTheVolume) {
    expectRefused(receiver, squareOutline(true, "-90000000.000000"));
}

TEST_F(SegHistory, RefusesNonFiniteNumbers) {
    expectRefused(receiver, "SEGBEGIN nan 23.5 23.5 1 0 0 0 1000 16383JSEGENDJ");
    expectRefused(receiver, "SEGBEGIN 23.5 23.5 23.5 1 0 1 1 1000 16383JSEGCUTPLANE 1 2 3 inf 0 0JSEGENDJ");
    expectRefused(receiver, squareOutline(true, "nan"));
    expectRefused(receiver, "SEGROIBEGIN 0 0 1 1 4 -inf 100J" + squareOutline(true).substr(squareOutline(true).find("SEGROIPOINT")));
}

TEST_F(SegHistory, RefusesStoredBoundsOutsideTheirRangeAndMorePlanesThanAViewHolds) {
    expectRefused(receiver, "SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 70000JSEGENDJ");
    std::string planes;
    for (int i = 0; i < 17; ++i) planes += "SEGCUTPLANE 24 24 24 1 0 0J";
    expectRefused(receiver, "SEGBEGIN 23.5 23.5 23.5 1 0 1 17 1000 16383J" + planes + "SEGENDJ");
}

// The history goes back out on one line of the view's state text: what it
// takes in must write back as it came, never an asterisk or a line feed.
TEST_F(SegHistory, RefusesRecordsWithTrailingBytesOrBytesALineCannotCarry) {
    expectRefused(receiver, "SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 16383 **JSEGENDJ");
    expectRefused(receiver, "SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 16383JSEGCUTPLANE 1 2 3\n1 0 0JSEGENDJ");
    expectRefused(receiver, "SEGBEGIN 23.5 23.5 23.5 1 0 0 0 1000 16383JSEG\x01JSEGENDJ");
}

TEST(SegHistoryReader, ClosingRecordsWithoutAnOpenOperationAndTextAfterTheLastJAreSkipped) {
    std::vector<std::string> texts;
    readSegHistory("SEGENDJSEGROIENDJxyzJ" + removeBall() + "SEGBEGIN 1 2 3 1 1 0 0 0 5", [&](HistoryOperation& op) {
        texts.push_back(op.text);
        return true;
    });
    EXPECT_EQ(texts, std::vector<std::string>{removeBall()});
}

}  // namespace

namespace {

// The inside test of a replayed outline follows from the recorded direction
// alone: a receiver whose camera's right axis lies along the cut keeps the
// same voxels as one at the front pose.
TEST_F(SegHistory, OutlineReplaysAlikeWhateverTheReceiversPose) {
    applySegHistory(sender.view, squareOutline(true));
    const size_t kept = keptCount(sender.ball.volume);
    ASSERT_GT(kept, 0u);
    // Exactly along it, as a pose orbited by a multiple of 90 degrees can be.
    receiver.view.changeCamera().setAxes(Vec3(0, 0, 1), Vec3(1, 0, 0), Vec3(0, 1, 0));
    Vec3 right, up;
    receiver.camera.getUnitWorldAxes(right, up);
    ASSERT_EQ(std::fabs(right.z), 1.0f) << "the right axis lies along the cut";
    applySegHistory(receiver.view, squareOutline(true));
    EXPECT_EQ(maskOf(receiver.ball.volume), maskOf(sender.ball.volume));
}

}  // namespace

namespace {

// A mask set whole on the sender (a ball's worth of voxels kept), as its record.
std::string importedMaskRecords(ViewFixture& sender) {
    const CVolume& v = *sender.view.m_pVolume;
    std::vector<uint8_t> kept(size_t(v.sizeX) * v.sizeY * v.sizeZ);
    for (size_t i = 0; i < kept.size(); ++i) kept[i] = (i * 2654435761u) % 7 < 3 && i % 5 != 0;
    EXPECT_EQ(importKeptMask(sender.view, kept.data(), kept.size(), nullptr), MaskImportStatus::Ok);
    return sender.view.m_segHistory;
}

TEST_F(SegHistory, RefusesMaskRecordsForAnotherGridOrWithLettersThatDoNotUnpack) {
    const std::string good = importedMaskRecords(sender);
    auto refused = [&](const std::string& text) {
        ViewFixture fresh;
        const SegReplayResult r = applySegHistory(fresh.view, text);
        return r.malformed == 1 && r.replayed == 0 && fresh.view.m_segHistory.empty();
    };
    const size_t data = good.find("SEGMASKDATA ") + 12;
    std::string wrongGrid = good, badLetter = good, shortened = good, longer = good;
    wrongGrid.replace(wrongGrid.find(' '), 3, " 47");  // sizeX 48 -> 47...
    badLetter[data + 5] = '*';
    shortened.erase(data + 5, 1);
    longer.insert(data + 5, "A");
    for (const std::string* text : {&wrongGrid, &badLetter, &shortened, &longer}) EXPECT_TRUE(refused(*text)) << *text;
    // Deflated runs that cover one voxel too many or too few.
    for (int extra : {-1, 1}) {
        std::vector<uint32_t> runs{0, uint32_t(48 * 48 * 48 + extra)};
        const std::string letters = packKeptRuns(runs);
        EXPECT_TRUE(refused(maskRecords(48, 48, 48, ClipBox{}, letters, 0))) << extra;
    }
    ViewFixture fresh;
    EXPECT_EQ(applySegHistory(fresh.view, good).replayed, 1);
    EXPECT_EQ(maskOf(*fresh.view.m_pVolume), maskOf(*sender.view.m_pVolume));
}

}  // namespace
