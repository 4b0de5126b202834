#include "view/ViewSegmentation.h"

#include "render/Camera.h"
#include "render/RenderWorkspace.h"
#include "wire/NumberText.h"
#include "segment/FloodBounds.h"
#include "segment/KeptMaskCodec.h"
#include "segment/OutlineCut.h"
#include "wire/SegRecords.h"
#include "segment/Segmenter.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"


namespace v3d {

namespace {

// As the records carry them (see sixDecimalValue): a peer replays the flood
// with exactly these.
std::vector<SegmentPlane> segmentPlanesOf(const ViewCore& view) {
    std::vector<SegmentPlane> planes;
    const CutPlaneSet& set = view.planes();
    for (int i = 0; i < set.m_iNumCutPlanes; ++i)
        planes.push_back({sixDecimalValue(set.at(i)->point), sixDecimalValue(set.at(i)->normal)});
    return planes;
}

// The wait cursor for the length of an operation.
struct Busy {
    explicit Busy(ViewCore& view) : view(view) { view.setWaitCursor(true); }
    ~Busy() { view.setWaitCursor(false); }
    ViewCore& view;
};

}  // namespace

bool floodAtPixel(ViewCore& view, ClientPoint point, bool add) {
    if (!view.m_pCamera || !view.m_pVolume) return false;
    if (!view.isInsideImage(view.m_pressPoint) || !view.isInsideImage(point)) return false;
    const ClientPoint px = view.clientToImage(point);
    const RenderWorkspace& ws = *view.m_workspace;
    const float d = ws.depth[RenderWorkspace::wide(px.x, px.y)];
    if (!(d > 0.0f)) return false;
    const Vec3 seed = sixDecimalValue(
        view.m_pCamera->rayOriginForPixel(px.x, view.m_iImageWidth, px.y, view.m_iImageHeight) +
        ws.rayDir[RenderWorkspace::index(px.x, px.y)] * d);
    const CVolume& volume = *view.m_pVolume;
    const int t = static_cast<int>(volume.sampleTrilinear(seed));
    FloodTool tool;
    switch (view.m_iRightTool) {
    case TOOL_SELECT_OBJECT: tool = FloodTool::SelectObject; break;
    case TOOL_SEG_RANGE: tool = FloodTool::SegRange; break;
    case TOOL_DENSITY_RANGE: tool = FloodTool::DensityRange; break;
    default:
        // The outline tool defines no density range: a double-click there
        // segments nothing.
        return false;
    }
    FloodBounds bounds;
    if (!floodBoundsFor(tool, t, volume, view.m_prefs.segLow, view.m_prefs.segHigh, view.m_prefs.segRad, bounds)) return false;
    const int low = bounds.low, high = bounds.high;
    const std::vector<SegmentPlane> planes = segmentPlanesOf(view);
    Busy busy(view);
    Segmenter segmenter(view.changeVolume());
    segmenter.floodFromPoint(seed.x, seed.y, seed.z, add, view.m_prefs.floodBound, planes, low, high);
    view.m_segHistory += floodRecords(seed, add, view.m_prefs.floodBound, planes, low, high);
    return true;
}

void cutWithOutline(ViewCore& view, const std::vector<Vec3>& exactPoints, const Vec3& exactDirection,
                    float exactStartDepth, int depthRange, bool keep) {
    if (!view.m_pCamera || !view.m_pVolume || exactPoints.empty()) return;
    // The cut runs on the values its records carry, as a peer's replay does.
    std::vector<Vec3> points;
    for (const Vec3& p : exactPoints) points.push_back(sixDecimalValue(p));
    const Vec3 direction = sixDecimalValue(exactDirection);
    const float startDepth = sixDecimalValue(exactStartDepth);
    Busy busy(view);
    Segmenter segmenter(view.changeVolume());
    cutAlongOutline(segmenter, points, direction, outlineTestAxis(direction), startDepth, depthRange, keep);
    view.m_segHistory += outlineRecords(direction, keep, points, startDepth, depthRange);
}

MaskImportStatus importKeptMask(ViewCore& view, const uint8_t* kept, size_t count, const ClipBox* clip) {
    if (!view.m_pVolume || !view.m_pCamera) return MaskImportStatus::NoVolume;
    const CVolume& v = *view.m_pVolume;
    if (count != size_t(v.sizeX) * size_t(v.sizeY) * size_t(v.sizeZ) || count == 0) return MaskImportStatus::WrongSize;
    Busy busy(view);
    const std::vector<uint32_t> runs = keptRunsOfBytes(kept, count);
    const std::string packed = packKeptRuns(runs);
    if (packed.empty() || packed.size() > kMaxMaskLetters) return MaskImportStatus::TooDetailed;
    Segmenter segmenter(view.changeVolume());
    if (clip) {
        // The faces as the record carries them: a peer's replay sets these.
        ClipBox exact = *clip;
        for (float* face : {&exact.lowX, &exact.highX, &exact.lowY, &exact.highY, &exact.lowZ, &exact.highZ})
            *face = sixDecimalValue(*face);
        segmenter.setKeptRuns(runs, &exact);
    } else {
        segmenter.setKeptRuns(runs, nullptr);
    }
    // The box as set, so that a replay sets the very same one.
    view.m_segHistory +=
        maskRecords(v.sizeX, v.sizeY, v.sizeZ, clipBoxOf(v), packed, countHistoryOperations(view.m_segHistory));
    return MaskImportStatus::Ok;
}

void resetViewSegmentation(ViewCore& view) {
    if (view.m_pVolume) {
        Busy busy(view);
        Segmenter(view.changeVolume()).resetSegmentation();
    }
    view.m_segHistory.clear();
}

}  // namespace v3d
