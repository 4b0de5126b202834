#pragma once
// The lines of a state text, one table row each: the keyword, the change
// groups that send it, how the view's state is written into it, and how a
// received line is checked and applied. The writer of texts and the reader
// of peers' and saved texts both walk this one table, in its order.

#include "wire/StateKeywords.h"

#include <array>
#include <string>

namespace v3d {

class ViewCore;
class PeerStateActions;
struct CaptureRecord;

// What applying one text works on.
struct LineApplying {
    ViewCore& view;
    CaptureRecord& capture;
    PeerStateActions& actions;
    const std::string& text;
    int refused = 0;
    bool putUnder = false;

    void refuse() { ++refused; }
};

struct StateLine {
    const StateKeyword& keyword;
    // The change groups whose lines these are (any of them sends it); 0
    // for a line the view never writes.
    int groups;
    // Appends the line (and any lines it heads) for the view.
    void (*write)(std::string& text, const ViewCore& view, const CaptureRecord& capture);
    // Applies the payload of the line found; refuses it whole when it does
    // not parse or would break the view's invariants.
    void (*read)(LineApplying& applying, const std::string& payload);
    // Runs after the line's turn, found or not (may be null).
    void (*after)(LineApplying& applying);
};

using StateLineTable = std::array<StateLine, 14>;
const StateLineTable& stateLines();

}  // namespace v3d
