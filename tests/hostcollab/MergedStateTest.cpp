// The hub's merged latest state, which a peer joining late is sent.
#include "collab/MergedState.h"
#include "collab/MergedStateStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

// The plain rule, one line at a time: what the merged state must equal for
// any sequence of messages, however it finds its keywords.
struct ModelState {
    std::vector<std::pair<std::string, std::string>> lines;
    std::size_t bytes = 0, cap;
    explicit ModelState(std::size_t maxBytes) : cap(maxBytes) {}
    static bool isPlane(const std::string& k) {
        return k.rfind("cutpln", 0) == 0 && k.size() > 11 && k.compare(k.size() - 5, 5, "data ") == 0 &&
               k.find_first_not_of("0123456789", 6) == k.size() - 5;
    }
    void take(const std::string& message) {
        if (message.rfind(kMarker, 0) != 0) return;
        for (std::size_t at = kMarker.size(), end; (end = message.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::string line = message.substr(at, end + 1 - at);
            const std::size_t blank = line.find(' ');
            if (blank == std::string::npos) continue;
            const std::string keyword = line.substr(0, blank + 1);
            if (keyword == "J_capture " || keyword == "J_putunder " || keyword == "J_justspec ") continue;
            if (keyword == "J_cutplanes ")
                for (auto it = lines.begin(); it != lines.end();)
                    it = isPlane(it->first) ? (bytes -= it->first.size() + it->second.size(), lines.erase(it)) : it + 1;
            auto it = std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.first == keyword; });
            const std::size_t old = it == lines.end() ? 0 : it->first.size() + it->second.size();
            if (bytes - old + keyword.size() + line.size() > cap) continue;
            bytes = bytes - old + keyword.size() + line.size();
            if (it == lines.end()) lines.emplace_back(keyword, line);
            else it->second = line;
        }
    }
    std::string text() const {
        std::string out = kMarker;
        for (const auto& l : lines) out += l.second;
        return out;
    }
};

TEST(MergedState, RandomMessagesMergeAsThePlainRuleSays) {
    std::mt19937 random(20261208);
    const char* const keywords[] = {"J_renderer", "J_cutplanes", "cutpln0data", "cutpln1data", "cutpln12data",
                                    "J_capture",  "J_seghistory", "K7",         "cutplnXdata", "J_justspec"};
    for (int round = 0; round < 200; ++round) {
        const std::size_t cap = round % 3 == 0 ? 300 : 1 << 20;
        MergedState state(cap);
        ModelState model(cap);
        for (int message = 0; message < 30; ++message) {
            std::string text = random() % 10 ? kMarker : std::string("J_justspec x\n");
            for (int line = random() % 12; line > 0; --line)
                text += keywords[random() % 10] + std::string(" ") + std::string(random() % 40, 'v') + "\n";
            if (random() % 5 == 0) text += "unterminated";
            state.take(text);
            model.take(text);
            ASSERT_EQ(state.text(), model.text()) << "round " << round << ", message " << message;
            ASSERT_EQ(state.bytes(), model.bytes);
        }
    }
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
