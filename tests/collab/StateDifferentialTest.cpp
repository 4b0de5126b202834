// The shared-state differential check, run for a few seconds on seeded
// random sequences, then on the sequences kept from earlier failures.
#include "StateDifferential.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

namespace {

// Failing sequences, shrunk, one a line ('#' starts a comment).
const char* const kKeptSequences = VEXEL_TEST_SOURCE_DIR "/collab/state_sequences.txt";

TEST(StateDifferential, KeptSequencesTravelEveryRoadUnchanged) {
    std::ifstream in(kKeptSequences);
    ASSERT_TRUE(in) << kKeptSequences;
    std::string line;
    int kept = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        // "volume actions"
        const size_t blank = line.find(' ');
        DiffVolume volume;
        DiffSequence actions;
        ASSERT_TRUE(blank != std::string::npos && diffVolumeNamed(line.substr(0, blank), volume)) << line;
        ASSERT_TRUE(parseSequence(line.substr(blank + 1), actions)) << line;
        const DiffFailure f = runSequence(volume, actions);
        EXPECT_FALSE(f.failed) << "kept sequence " << kept << " parts at step " << f.step << " on the " << f.road
                               << " road: " << f.what;
        ++kept;
    }
    EXPECT_GT(kept, 0);
}

TEST(StateDifferential, RandomSequencesTravelEveryRoadUnchanged) {
    const DiffVolume ball = makeBallVolume();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    uint32_t seed = 1;
    int runs = 0;
    for (; runs < 2 || std::chrono::steady_clock::now() < end; ++seed, ++runs) {
        const DiffSequence actions = randomSequence(seed, 40);
        const DiffFailure f = runSequence(ball, actions);
        if (!f.failed) continue;
        const DiffSequence shrunk = shrinkSequence(ball, actions);
        const DiffFailure g = runSequence(ball, shrunk);
        ADD_FAILURE() << "seed " << seed << " parts at step " << f.step << " on the " << f.road << " road: " << f.what
                      << "\nshrunk to " << shrunk.size() << " steps (" << g.road << ": " << g.what
                      << "), keep it:\nball " << formatSequence(shrunk);
        break;
    }
}

}  // namespace
