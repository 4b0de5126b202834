#include "collab/SegHistoryReplay.h"

#include "wire/SegRecords.h"
#include "render/Camera.h"
#include "segment/KeptMaskCodec.h"
#include "segment/OutlineCut.h"
#include "segment/Segmenter.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "view/ViewTools.h"
#include "volume/CVolume.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace v3d {

namespace {

// A local outline sweeps from 10 units before the nearest entry to 10 past
// the farthest exit: never more than the diagonal and this margin.
constexpr float kDepthMargin = 64.0f;
// Outline points lie on the image plane of a parallel camera: at most the
// camera's distance limit from the centre, plus half the diagonal of its
// widest view (and a margin for the six decimals).
float outlinePointReach(float halfDiagonal) {
    return kCameraLimit * halfDiagonal + Camera::kMaxViewWidth * 0.7072f + 1.0f;
}
// The outline's length bounds the barrier work it causes; on a small volume
// the bound is the length of a few laps round the widest view instead.
constexpr float kMaxPerimeterHalfDiagonals = 128.0f;
constexpr float kMaxPerimeterViewWidths = 8.0f;

// Outline values a local cut could have made in this volume.
bool outlineFitsVolume(const HistoryOperation& op, const ViewCore& view) {
    const float h = halfDiagonal(view);
    if (static_cast<float>(op.depthRange) > 2.0f * h + kDepthMargin) return false;
    // The sweep starts before the grid, which lies within a half-diagonal of the centre.
    if (!(std::fabs(op.startDepth) <= outlinePointReach(h) + h + kDepthMargin)) return false;
    const Vec3 centre = view.m_pVolume->center();
    float perimeter = 0.0f;
    for (size_t i = 0; i < op.points.size(); ++i) {
        if (!(length(op.points[i] - centre) <= outlinePointReach(h))) return false;
        perimeter += length(op.points[(i + 1) % op.points.size()] - op.points[i]);
    }
    return perimeter <= std::max(kMaxPerimeterHalfDiagonals * h, kMaxPerimeterViewWidths * Camera::kMaxViewWidth);
}

// The kept runs of a mask operation made for this grid; empty when it was
// made for another or does not unpack.
std::vector<uint32_t> maskRunsFor(const HistoryOperation& op, const ViewCore& view) {
    std::vector<uint32_t> runs;
    const CVolume& v = *view.m_pVolume;
    if (op.sizeX != v.sizeX || op.sizeY != v.sizeY || op.sizeZ != v.sizeZ) return runs;
    const uint64_t voxels = uint64_t(v.sizeX) * uint64_t(v.sizeY) * uint64_t(v.sizeZ);
    if (unpackKeptRuns(op.letters, voxels, runs) != MaskCodecStatus::Ok) runs.clear();
    return runs;
}

void replay(ViewCore& view, const HistoryOperation& op, const std::vector<uint32_t>& maskRuns) {
    Segmenter segmenter(view.changeVolume());
    if (op.kind == HistoryOperation::Kind::Mask) {
        segmenter.setKeptRuns(maskRuns, &op.clip);
    } else if (op.kind == HistoryOperation::Kind::Seed) {
        segmenter.floodFromPoint(op.seed.x, op.seed.y, op.seed.z, op.add, op.boundByCutPlanes, op.planes, op.low,
                                 op.high);
    } else if (!op.points.empty()) {
        cutAlongOutline(segmenter, op.points, op.direction, outlineTestAxis(op.direction), op.startDepth, op.depthRange, op.keep);
    }
    // The received text, not a rewrite of it: the next message holds these
    // very bytes, and only they make the operation count as held.
    view.m_segHistory += op.text;
}

}  // namespace

SegReplayResult applySegHistory(ViewCore& view, const std::string& history, int maxOperations) {
    SegReplayResult result;
    if (!view.m_pVolume || !view.m_pCamera) return result;
    if (history.empty()) {
        if (!view.m_segHistory.empty()) {
            resetViewSegmentation(view);
            result.reset = true;
        }
        return result;
    }
    if (history.size() < view.m_segHistory.size() && view.m_segHistory.compare(0, history.size(), history) == 0) {
        // Whole operations only: a cut inside one is no history a view wrote.
        int whole = 0;
        size_t length = 0;
        readSegHistory(history, [&](HistoryOperation& op) { return ++whole, length += op.text.size(), true; });
        if (length == history.size() && whole > 0) {
            resetViewSegmentation(view);
            result = applySegHistory(view, history, kReplayEverything);
            result.reset = true;
            return result;
        }
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
        if (searched == maxOperations) {
            result.cutOff = true;
            return false;
        }
        ++searched;
        if (view.m_segHistory.find(op.text) != std::string::npos) {
            ++result.alreadyHeld;
            return true;
        }
        std::vector<uint32_t> maskRuns;
        if (op.kind == HistoryOperation::Kind::Mask && (maskRuns = maskRunsFor(op, view)).empty()) {
            ++result.malformed;
            return true;
        }
        if (!busy) view.setWaitCursor(busy = true);
        replay(view, op, maskRuns);
        held.insert(op.text);
        ++result.replayed;
        return true;
    });
    if (busy) view.setWaitCursor(false);
    return result;
}

bool undoLastSegOperation(ViewCore& view) {
    if (!view.m_pVolume || view.m_segHistory.empty()) return false;
    std::string rest, last;
    readSegHistory(view.m_segHistory, [&](HistoryOperation& op) {
        rest += last;
        last = std::move(op.text);
        return true;
    });
    resetViewSegmentation(view);
    applySegHistory(view, rest, kReplayEverything);
    return true;
}

}  // namespace v3d
