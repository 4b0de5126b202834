#pragma once
// The shared-state differential check: a seeded sequence of user actions
// on one view (A), and after each step the roads its state travels:
//   B  a fresh view restored from A's saved-state text (layouts, dropped
//      captures, window states);
//   C  a view that applied every message A sent, in order (a peer);
//   D  a fresh view given the hub's merged state (a late joiner, or a
//      peer whose window was made anew);
//   and each captured image's state restored as a dropped capture would be;
// and A's text written, read back and written again. Each must equal A:
// the mask voxel for voxel, the clip box, the state text, and the refined
// picture at one standard pose pixel for pixel.

#include <cstdint>
#include <string>
#include <vector>

// The voxels every view of a run is built from.
struct DiffVolume {
    int sizeX = 0, sizeY = 0, sizeZ = 0;
    float spacingX = 1.0f, spacingY = 1.0f, spacingZ = 1.0f;
    std::vector<uint16_t> voxels;  // stored values, HU + 1024
};

// A ball of bone-like density in air with a denser core (48 voxels a side).
DiffVolume makeBallVolume(int size = 48);
// The demo's head phantom on a coarse, anisotropic grid (80 x 80 x 40).
DiffVolume makeHeadPhantomVolume();
// A volume by name: "ball" or "phantom"; false for another name.
bool diffVolumeNamed(const std::string& name, DiffVolume& volume);

// One user action; its fields are read per kind (see StateDifferential.cpp).
struct DiffAction {
    int kind = 0;
    int a = 0, b = 0, c = 0, d = 0;
};

using DiffSequence = std::vector<DiffAction>;

std::string formatSequence(const DiffSequence& actions);
// False when the text is not a sequence.
bool parseSequence(const std::string& text, DiffSequence& actions);

DiffSequence randomSequence(uint32_t seed, int length);

struct DiffFailure {
    bool failed = false;
    int step = -1;       // index of the action after which the roads parted
    std::string road;    // "saved", "peer", "joiner", "capture", "text"
    std::string what;    // what differed
};

struct DiffOptions {
    // Compare the pictures every this many steps (and always at the end).
    int pictureEvery = 1;
};

// Runs the sequence and checks after every step; stops at the first failure.
DiffFailure runSequence(const DiffVolume& volume, const DiffSequence& actions, const DiffOptions& options = {});

// A shorter sequence that still fails (any failure), found by removing
// actions one at a time.
DiffSequence shrinkSequence(const DiffVolume& volume, const DiffSequence& failing, const DiffOptions& options = {});

// Statistics of a run: steps and messages.
struct DiffCounts {
    long steps = 0;
    long messages = 0;
};
DiffCounts& diffCounts();
