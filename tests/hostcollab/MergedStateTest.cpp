// The hub's merged latest state, which a peer joining late is sent.
#include "collab/MergedState.h"
#include "collab/MergedStateStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using quarvia::MergedState;
using quarvia::MergedStateStore;

const std::string kMarker = "J_justspec dummy\n";

TEST(MergedState, KeepsTheLatestLineOfEachKeywordInFirstSeenOrder) {
    MergedState state(1 << 20);
    EXPECT_EQ(state.take(kMarker + "J_renderer 0\nJ_threshold -300\n"), MergedState::Take::Merged);
    EXPECT_EQ(state.take(kMarker + "J_camvectors 1 2 3 4 5 6 7 8 9 10 11 12\nJ_renderer 2\n"), MergedState::Take::Merged);
    EXPECT_EQ(state.text(), kMarker + "J_renderer 2\nJ_threshold -300\nJ_camvectors 1 2 3 4 5 6 7 8 9 10 11 12\n");
}

TEST(MergedState, CutPlanesLineReplacesTheWholePlaneGroup) {
    MergedState state(1 << 20);
    state.take(kMarker + "J_cutplanes 3\ncutpln0data 1 1 1 0 0 1\ncutpln1data 2 2 2 0 1 0\ncutpln2data 3 3 3 1 0 0\n"
                         "J_cutplaneedit 2 1\n");
    state.take(kMarker + "J_cutplanes 1\ncutpln0data 9 9 9 0 0 1\nJ_cutplaneedit 0 1\n");
    // Lines keep the order their keywords were first seen in: receivers look them up by keyword.
    EXPECT_EQ(state.text(), kMarker + "J_cutplanes 1\nJ_cutplaneedit 0 1\ncutpln0data 9 9 9 0 0 1\n");
    state.take(kMarker + "J_cutplanes 0\nJ_cutplaneedit -1 0\n");
    EXPECT_EQ(state.text(), kMarker + "J_cutplanes 0\nJ_cutplaneedit -1 0\n");
}

// Replaying them would make the joining peer create images and captures.
TEST(MergedState, CaptureAndPutUnderAreNeverKept) {
    MergedState state(1 << 20);
    state.take(kMarker + "J_capture 512 512 1.2.3 1.2.3.4 1.2.3.5 900\nJ_putunder 1\nJ_renderer 1\n");
    EXPECT_EQ(state.text(), kMarker + "J_renderer 1\n");
}

TEST(MergedState, TextWithoutTheMarkerIsNotState) {
    MergedState state(1 << 20);
    EXPECT_EQ(state.take("J_renderer 1\n"), MergedState::Take::NotState);
    EXPECT_EQ(state.take("message 3 aaaa"), MergedState::Take::NotState);
    EXPECT_EQ(state.take("J_justspec dummy"), MergedState::Take::NotState);  // no line feed: no marker line
    EXPECT_TRUE(state.empty());
}

TEST(MergedState, LineWithoutItsLineFeedIsNotKept) {
    MergedState state(1 << 20);
    state.take(kMarker + "J_renderer 1\nJ_threshold 400");
    EXPECT_EQ(state.text(), kMarker + "J_renderer 1\n");
}

TEST(MergedState, MarkerLinesAndLinesWithoutKeywordAreNotKept) {
    MergedState state(1 << 20);
    state.take(kMarker + kMarker + "garbage\nJ_renderer 1\n");
    EXPECT_EQ(state.text(), kMarker + "J_renderer 1\n");
}

TEST(MergedState, SegmentationHistoryIsReplacedWhole) {
    MergedState state(1 << 20);
    state.take(kMarker + "J_seghistory SEGBEGIN 1 2 3 1 1 0 0 0 16383JSEGENDJ\n");
    state.take(kMarker + "J_seghistory \n");
    EXPECT_EQ(state.text(), kMarker + "J_seghistory \n");
}

// A peer that sends ever new keywords or huge lines cannot make the hub
// hold more than the cap; the lines already kept stay.
TEST(MergedState, LinesBeyondTheCapAreLeftOutAndTheOlderOnesStay) {
    MergedState state(4096);
    EXPECT_EQ(state.take(kMarker + "J_seghistory short\n"), MergedState::Take::Merged);
    EXPECT_EQ(state.take(kMarker + "J_seghistory " + std::string(5000, 'x') + "\nJ_renderer 1\n"), MergedState::Take::OverCap);
    EXPECT_EQ(state.text(), kMarker + "J_seghistory short\nJ_renderer 1\n");
    std::string many = kMarker;
    for (int i = 0; i < 1000; ++i) many += "K" + std::to_string(i) + " v\n";
    EXPECT_EQ(state.take(many), MergedState::Take::OverCap);
    EXPECT_LE(state.bytes(), 4096u);
    EXPECT_LE(state.text().size(), 4096u + kMarker.size());
}

TEST(MergedStateStore, KeepsOneStatePerPluginAndCellUpToTheStreamLimit) {
    MergedStateStore store;
    store.take("vexel", 0, kMarker + "J_renderer 0\n");
    store.take("vexel", 1, kMarker + "J_renderer 1\n");
    store.take("other", 0, kMarker + "J_renderer 2\n");
    store.take("vexel", 0, "not state");
    ASSERT_EQ(store.streams().size(), 3u);
    EXPECT_EQ(store.streams().at({"vexel", 0}).text(), kMarker + "J_renderer 0\n");
    EXPECT_EQ(store.streams().at({"vexel", 1}).text(), kMarker + "J_renderer 1\n");
    for (int cell = 2; cell < 100; ++cell) store.take("vexel", cell, kMarker + "J_renderer 1\n");
    EXPECT_EQ(store.streams().size(), MergedStateStore::kMaxStreams);
    EXPECT_EQ(store.take(std::string(1000, 'p'), 0, kMarker + "J_renderer 1\n"), MergedState::Take::OverCap);
}

}  // namespace
