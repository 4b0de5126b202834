#pragma once
// Replaying a received segmentation history: every message carries the
// sender's whole history, and a view applies only the operations its own
// history does not already contain (its own ones echoed back included).

#include <string>

namespace v3d {

class ViewCore;

// At most this many operations a call for a peer's message: a peer rejoining
// a long session catches up in batches, the window going on with the same
// history between them, instead of freezing for all of it at once.
constexpr int kMaxReplayedOperations = 32;
// A restored text (layout, dropped capture, window state) has no next
// message: every operation is replayed at once.
constexpr int kReplayEverything = -1;

struct SegReplayResult {
    int replayed = 0;       // operations run and appended to the local history
    int alreadyHeld = 0;    // contained in the local history: not run again
    int malformed = 0;      // refused whole: never run
    bool cutOff = false;    // the bound was reached; the rest waits for the next call
    bool reset = false;     // an empty history emptied a non-empty local one, or a shorter one replaced it
};

// Replays at most maxOperations operations the local history lacks
// (kReplayEverything: all of them). A history that is a proper beginning of
// the local one (the sender undid its last operations) resets the view and
// replays it whole: the view then holds exactly that history.
SegReplayResult applySegHistory(ViewCore& view, const std::string& history,
                                int maxOperations = kMaxReplayedOperations);

// Undo: the last operation of the local history removed (the view reset,
// then the rest replayed). False when the history is empty.
bool undoLastSegOperation(ViewCore& view);

}  // namespace v3d
