#include "interact/Overlays.h"

#include "interact/OverlayShapes.h"
#include "interact/OverlayTexts.h"

namespace v3d {

OverlayList buildOverlays(const OverlayInputs& in) {
    OverlayList out;
    if (!in.hasSeries || !in.allLoaded) {
        addReadinessNotices(out, in);
        return out;
    }
    addTextBlocks(out, in);
    addCutLine(out, in);
    addFreehandOutline(out, in);
    addRotatedPlaneMarker(out, in);
    addProgressBars(out, in);
    addCoarsePassMark(out, in);
    addOrientationFigure(out, in);
    addDistanceGauge(out, in);
    if (!in.allLossless) out.push_back(OverlayIcon{in.clientWidth / 2 - 8, 2, kLossyNoticeBitmap});
    return out;
}

}  // namespace v3d
