// The shared-state differential check for minutes on end: random user
// sequences on the head phantom and (when the corpus is there) the chest CT,
// each step checked on the saved, peer and late-joiner roads. Failing
// sequences are shrunk and printed in the form tests/collab/state_sequences.txt
// keeps.
//
//   state_soak [--minutes M] [--length L] [--seed S]
#include "CorpusCT.h"
#include "StateDifferential.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kCorpusFolder = "/work/shared/corpus/ct-chest-5mm";

// The chest at a quarter of its in-plane resolution: the same anatomy at a
// size where a step costs tens of milliseconds.
bool chestCT(DiffVolume& v) {
    CTBlock block;
    if (!readCorpusCT(kCorpusFolder, block)) return false;
    const int f = 4;
    v.sizeX = block.sizeX / f;
    v.sizeY = block.sizeY / f;
    v.sizeZ = block.sizeZ;
    v.spacingX = block.spacingX * f;
    v.spacingY = block.spacingY * f;
    v.spacingZ = block.spacingZ;
    v.voxels.resize(static_cast<size_t>(v.sizeX) * v.sizeY * v.sizeZ);
    size_t i = 0;
    for (int z = 0; z < v.sizeZ; ++z)
        for (int y = 0; y < v.sizeY; ++y)
            for (int x = 0; x < v.sizeX; ++x)
                v.voxels[i++] = block.values[(static_cast<size_t>(z) * block.sizeY + y * f) * block.sizeX + x * f];
    return true;
}

int soak(const char* name, const char* keptName, const DiffVolume& volume, double minutes, int length, uint32_t seed) {
    diffCounts() = DiffCounts();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(minutes * 60.0);
    int sequences = 0, failures = 0;
    DiffOptions options;
    options.pictureEvery = 4;
    for (; std::chrono::steady_clock::now() < end; ++seed, ++sequences) {
        const DiffSequence actions = randomSequence(seed, length);
        const DiffFailure f = runSequence(volume, actions, options);
        if (!f.failed) continue;
        ++failures;
        const DiffSequence shrunk = shrinkSequence(volume, actions, options);
        const DiffFailure g = runSequence(volume, shrunk, options);
        std::printf("%s: seed %u parts at step %d on the %s road: %s\n  shrunk to %zu steps (%s: %s):\n%s %s\n", name, seed,
                    f.step, f.road.c_str(), f.what.c_str(), shrunk.size(), g.road.c_str(), g.what.c_str(),
                    keptName, formatSequence(shrunk).c_str());
        std::fflush(stdout);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s (%d x %d x %d): %d sequences of %d steps, %ld steps, %ld messages, %d failing, %.0f s\n", name,
                volume.sizeX, volume.sizeY, volume.sizeZ, sequences, length, diffCounts().steps, diffCounts().messages,
                failures, seconds);
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 10.0;
    int length = 60;
    uint32_t seed = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--minutes") minutes = std::atof(argv[i + 1]);
        else if (key == "--length") length = std::max(1, std::atoi(argv[i + 1]));
        else if (key == "--seed") seed = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    }
    int failures = soak("head phantom", "phantom", makeHeadPhantomVolume(), minutes, length, seed);
    DiffVolume chest;
    if (chestCT(chest))
        failures += soak("chest CT", "chest", chest, minutes, length, seed);
    else
        std::printf("chest CT: corpus not found, skipped\n");
    return failures == 0 ? 0 : 1;
}
