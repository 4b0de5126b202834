// Any bytes as a received segmentation history, replayed on a small volume.
// Whatever the view takes in reads back as well-formed operations, and a
// second delivery of the same bytes runs nothing unless the first was cut
// off at the bound.
#include "wire/SegRecords.h"
#include "collab/SegHistoryReplay.h"
#include "FuzzView.h"
#include "view/ViewSegmentation.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace v3d;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzView* scene = new FuzzView;  // one view for the run; its segmentation is reset per input
    FuzzView& s = *scene;
    resetViewSegmentation(s.view);
    const std::string text(reinterpret_cast<const char*>(data), size);

    const SegReplayResult first = applySegHistory(s.view, text);
    if (first.replayed > kMaxReplayedOperations) std::abort();
    int held = 0;
    readSegHistory(s.view.m_segHistory, [&](HistoryOperation& op) {
        if (op.malformed) std::abort();
        ++held;
        return true;
    });
    if (held != first.replayed) std::abort();
    const SegReplayResult second = applySegHistory(s.view, text);
    if (!first.cutOff && second.replayed != 0) std::abort();
    return 0;
}
