#pragma once
// Applying a state text to a view: each keyword line found, parsed with its
// format and checked before anything changes. A line whose numbers do not
// all parse, or would break the view's invariants (non-finite values, an
// unknown renderer, tool or drag mode, a camera outside its sphere, a plane
// table that is not complete), is ignored whole; the other lines still apply.

#include "wire/WireLimits.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace v3d {

class ViewCore;
struct CaptureRecord;

enum class PeerStateStatus {
    Applied,          // every line found was applied or ignored
    Deferred,         // images still arrive: kept as the frame's pending state
    PutUnderHandled,  // a put-under request was run; nothing to re-render
};

// A peer's request to create the image it created.
struct PeerCapture {
    int32_t width = 0;
    int32_t height = 0;
    std::string firstImageId;
    std::string sopUid;
    std::string seriesUid;
    uint32_t seriesNumber = 0;
};

// What applying a text asks of the window besides the view's state.
class PeerStateActions {
public:
    virtual ~PeerStateActions() = default;
    // Renders the view anew and creates the image the peer created.
    virtual void captureForPeer(const PeerCapture& capture) = 0;
    // Quick capture of the current view.
    virtual void quickCapture() = 0;
    // A peer's history was replayed up to the batch bound: the window goes
    // on with it (applySegHistory again) once the current call has returned.
    virtual void continueSegHistory(const std::string& history) = 0;
};

// Applies the lines of text; defers the whole text while the frame's images
// still arrive. refusedLines (optional) counts the lines found but ignored.
PeerStateStatus applyPeerState(ViewCore& view, CaptureRecord& capture, PeerStateActions& actions,
                               const std::string& text, int* refusedLines = nullptr);

}  // namespace v3d
