#pragma once
// Replaying a received segmentation history: every message carries the
// sender's whole history, and a view applies only the operations its own
// history does not already contain (its own ones echoed back included).

#include <string>

namespace v3d {

class ViewCore;

// At most this many operations a message: a peer rejoining a long session
// catches up over the next messages instead of freezing the window for one.
constexpr int kMaxReplayedOperations = 32;

struct SegReplayResult {
    int replayed = 0;       // operations run and appended to the local history
    int alreadyHeld = 0;    // contained in the local history: not run again
    int malformed = 0;      // refused whole: never run
    bool cutOff = false;    // the bound was reached; the rest waits for the next message
    bool reset = false;     // an empty history emptied a non-empty local one
};

SegReplayResult applySegHistory(ViewCore& view, const std::string& history);

}  // namespace v3d
