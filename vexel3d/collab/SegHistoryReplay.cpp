#include "collab/SegHistoryReplay.h"

#include "collab/SegHistoryReader.h"
#include "render/Camera.h"
#include "segment/OutlineCut.h"
#include "segment/Segmenter.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "view/ViewTools.h"
#include "volume/CVolume.h"

#include <cmath>
#include <unordered_set>

namespace v3d {

namespace {

// A local outline sweeps from 10 units before the nearest entry to 10 past
// the farthest exit: never more than the diagonal and this margin.
constexpr float kDepthMargin = 64.0f;
// Outline points lie on the camera's image plane, which stays near the volume.
constexpr float kPointReachHalfDiagonals = 4.0f;
// The outline's length bounds the barrier work it causes.
constexpr float kMaxPerimeterHalfDiagonals = 128.0f;

// Outline values a local cut could have made in this volume.
bool outlineFitsVolume(const HistoryOperation& op, const ViewCore& view) {
    const float h = halfDiagonal(view);
    if (static_cast<float>(op.depthRange) > 2.0f * h + kDepthMargin) return false;
    if (!(std::fabs(op.startDepth) <= 2.0f * kPointReachHalfDiagonals * h + kDepthMargin)) return false;
    const Vec3 centre = view.m_pVolume->center();
    float perimeter = 0.0f;
    for (size_t i = 0; i < op.points.size(); ++i) {
        if (!(length(op.points[i] - centre) <= kPointReachHalfDiagonals * h)) return false;
        perimeter += length(op.points[(i + 1) % op.points.size()] - op.points[i]);
    }
    return perimeter <= kMaxPerimeterHalfDiagonals * h;
}

void replay(ViewCore& view, const HistoryOperation& op) {
    Segmenter segmenter(view.changeVolume());
    if (op.kind == HistoryOperation::Kind::Seed) {
        segmenter.floodFromPoint(op.seed.x, op.seed.y, op.seed.z, op.add, op.boundByCutPlanes, op.planes, op.low,
                                 op.high);
    } else if (!op.points.empty()) {
        Vec3 right, up;
        view.m_pCamera->getUnitWorldAxes(right, up);
        cutAlongOutline(segmenter, op.points, op.direction, right, op.startDepth, op.depthRange, op.keep);
    }
    // The received text, not a rewrite of it: the next message holds these
    // very bytes, and only they make the operation count as held.
    view.m_segHistory += op.text;
}

}  // namespace

SegReplayResult applySegHistory(ViewCore& view, const std::string& history) {
    SegReplayResult result;
    if (!view.m_pVolume || !view.m_pCamera) return result;
    if (history.empty()) {
        if (!view.m_segHistory.empty()) {
            resetViewSegmentation(view);
            result.reset = true;
        }
        return result;
    }
    // Whole operations of the local history answer most lookups at once;
    // the substring search is left for the rest.
    std::unordered_set<std::string> held;
    readSegHistory(view.m_segHistory, [&](HistoryOperation& op) {
        held.insert(std::move(op.text));
        return true;
    });
    bool busy = false;
    int searched = 0;
    readSegHistory(history, [&](HistoryOperation& op) {
        if (held.count(op.text)) {
            ++result.alreadyHeld;
            return true;
        }
        if (op.malformed || (op.kind == HistoryOperation::Kind::Outline && !outlineFitsVolume(op, view))) {
            ++result.malformed;
            return true;
        }
        if (searched == kMaxReplayedOperations) {
            result.cutOff = true;
            return false;
        }
        ++searched;
        if (view.m_segHistory.find(op.text) != std::string::npos) {
            ++result.alreadyHeld;
            return true;
        }
        if (!busy) view.setWaitCursor(busy = true);
        replay(view, op);
        held.insert(op.text);
        ++result.replayed;
        return true;
    });
    if (busy) view.setWaitCursor(false);
    return result;
}

}  // namespace v3d
