#include "collab/PeerState.h"

#include "collab/StateLineTable.h"
#include "view/ViewCore.h"
#include "volume/SeriesState.h"
#include "wire/StateLines.h"

namespace v3d {

PeerStateStatus applyPeerState(ViewCore& view, CaptureRecord& capture, PeerStateActions& actions,
                               const std::string& text, int* refusedLines) {
    LineApplying applying{view, capture, actions, text};
    PeerStateStatus status = PeerStateStatus::Applied;
    SeriesState* series = view.m_pFrame;
    if (!series || series->completedFraction < 1.0) {
        // Only the latest text waits for the images.
        if (series) series->pendingState = text;
        status = PeerStateStatus::Deferred;
    } else if (view.m_pCamera && view.m_pVolume) {
        for (const StateLine& line : stateLines()) {
            if (std::optional<std::string> payload = findLine(line.keyword.keyword, text))
                line.read(applying, *payload);
            if (line.after) line.after(applying);
        }
        if (applying.putUnder) status = PeerStateStatus::PutUnderHandled;
    }
    if (refusedLines) *refusedLines = applying.refused;
    return status;
}

}  // namespace v3d
