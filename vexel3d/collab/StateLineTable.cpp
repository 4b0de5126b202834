#include "collab/StateLineTable.h"

#include "collab/CaptureRecord.h"
#include "collab/PeerState.h"
#include "collab/SegHistoryReplay.h"
#include "collab/StateText.h"
#include "render/Camera.h"
#include "view/ViewCore.h"
#include "view/ViewTools.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"
#include "wire/NumberText.h"
#include "wire/StateLines.h"

#include <algorithm>

namespace v3d {

namespace {

// Axes shorter than this have no direction.
constexpr float kMinAxisLength = 1e-3f;
// Shading a peer may send: beyond it the colour table leaves its byte range
// (wider than the tools keep: another peer's tools may reach further).
constexpr float kMaxPeerShine = 100.0f;
constexpr int kMaxTool = TOOL_WINDOW_LEVEL;
constexpr int kMaxDragMode = DRAG_OUTLINE;
constexpr int kMaxToolGroup = GROUP_SELECTION;
constexpr int kMaxCaptureSize = ViewCore::kImageSize;

bool within(float v, float low, float high) { return v >= low && v <= high; }

// A zoom that reads the same as the camera's to six decimals is left as it is.
void setZoomUnlessSame(Camera& c, float zoom) {
    if (sixDecimals(zoom) != sixDecimals(c.getZoom())) c.setZoom(zoom);
}

bool readVec(FieldReader& r, Vec3& v) { return r.readFloat(v.x) && r.readFloat(v.y) && r.readFloat(v.z); }

void line(std::string& text, const StateKeyword& keyword, const FieldWriter& fields) {
    appendLine(text, keyword.keyword, fields.text());
}

// The camera group.

void writeCamera(std::string& text, const ViewCore& view, const CaptureRecord&) {
    // Both zooms come from a copy: the view's camera is read-only here.
    Camera camera = *view.m_pCamera;
    camera.perspective = false;
    camera.updateCornerRays();
    const float parallelZoom = camera.getZoom();
    camera.perspective = true;
    camera.updateCornerRays();
    const float perspectiveZoom = camera.getZoom();
    line(text, kCameraKeyword,
         FieldWriter()
             .integer(view.m_pCamera->perspective ? 1 : 0)
             .real(perspectiveZoom)
             .real(parallelZoom)
             .real(view.m_fHue)
             .real(view.m_fSaturation)
             .real(view.m_fDiffuse)
             .real(view.m_fShine));
}

void readCamera(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t perspective = 0;
    float perspectiveZoom = 0, parallelZoom = 0, hue = 0, saturation = 0, diffuse = 0, shine = 0;
    if (!(r.readInt(perspective) && r.readFloat(perspectiveZoom) && r.readFloat(parallelZoom) && r.readFloat(hue) &&
          r.readFloat(saturation) && r.readFloat(diffuse) && r.readFloat(shine)))
        return a.refuse();
    // Zooms beyond 0..1 would leave the camera's range of field and width.
    if (!within(perspectiveZoom, 0, 1) || !within(parallelZoom, 0, 1)) return a.refuse();
    if (!within(hue, 0, kMaxHue) || !within(saturation, 0, 1) || !within(diffuse, 0, 1) || !within(shine, 0, kMaxPeerShine))
        return a.refuse();
    ViewCore& view = a.view;
    Camera& c = view.changeCamera();
    c.perspective = false;
    c.updateCornerRays();
    setZoomUnlessSame(c, parallelZoom);
    c.perspective = true;
    c.updateCornerRays();
    setZoomUnlessSame(c, perspectiveZoom);
    c.perspective = perspective != 0;
    c.updateCornerRays();
    if (hue != view.m_fHue || saturation != view.m_fSaturation || diffuse != view.m_fDiffuse || shine != view.m_fShine) {
        view.m_fHue = hue;
        view.m_fSaturation = saturation;
        view.m_fDiffuse = diffuse;
        view.m_fShine = shine;
        view.buildShadeTable();
    }
}

void writeRenderer(std::string& text, const ViewCore& view, const CaptureRecord&) {
    line(text, kRendererKeyword, FieldWriter().integer(view.m_iRenderMode));
}

void readRenderer(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t mode = 0;
    if (!r.readInt(mode) || mode < 0 || mode >= kRenderModeCount) return a.refuse();
    a.view.setRenderMode(mode);
}

void writeFrame(std::string& text, const ViewCore& view, const CaptureRecord&) {
    line(text, kFrameKeyword, FieldWriter().integer(view.m_iReferenceFrame == 0 ? 1 : 0));
}

void readFrame(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t anterior = 0;
    if (!r.readInt(anterior)) return a.refuse();
    const bool caudal = a.view.m_iReferenceFrame == 1;
    if (anterior != 0 && caudal)
        a.view.applyReferenceFrame(0);
    else if (anterior == 0 && !caudal)
        a.view.applyReferenceFrame(1);
}

void writeTumbling(std::string& text, const ViewCore& view, const CaptureRecord&) {
    line(text, kTumblingKeyword, FieldWriter().integer(view.m_prefs.noTumble ? 1 : 0));
}

void readTumbling(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t value = 0;
    if (!r.readInt(value)) return a.refuse();
    a.view.m_prefs.noTumble = value == 1;
}

void writeThreshold(std::string& text, const ViewCore& view, const CaptureRecord&) {
    const CVolume& volume = *view.m_pVolume;
    line(text, kThresholdKeyword, FieldWriter().integer(volume.storedToHU(volume.isoStored)));
}

void readThreshold(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t hu = 0;
    if (!r.readInt(hu)) return a.refuse();
    a.view.changeVolume().setIsoValue(hu);
}

void writeWindow(std::string& text, const ViewCore& view, const CaptureRecord&) {
    const CVolume& volume = *view.m_pVolume;
    line(text, kWindowKeyword, FieldWriter().integer(volume.windowWidthHU()).integer(volume.windowLevelHU()));
}

void readWindow(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t width = 0, level = 0;
    if (!r.readInt(width) || !r.readInt(level)) return a.refuse();
    a.view.changeVolume().setWindowLevel(level, width);
}

// The camera's pose.

void writeCameraVectors(std::string& text, const ViewCore& view, const CaptureRecord&) {
    appendLine(text, kCameraVectorsKeyword.keyword, cameraVectorsPayload(*view.m_pCamera));
}

void readCameraVectors(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    // Only a position with a direction (6 numbers) or with all three axes (12).
    float n[13] = {};
    int numbers = 0;
    while (numbers < 13 && r.readFloat(n[numbers])) ++numbers;
    if ((numbers != 6 && numbers != 12) || !r.atEnd()) return a.refuse();
    const int count = numbers / 3;
    Vec3 v[4];
    for (int i = 0; i < count; ++i) v[i] = Vec3(n[3 * i], n[3 * i + 1], n[3 * i + 2]);
    const float limit = kCameraLimit * halfDiagonal(a.view);
    if (!(length(v[0] - a.view.m_pVolume->center()) < limit)) return a.refuse();
    for (int i = 1; i < count; ++i)
        if (!(length(v[i]) >= kMinAxisLength)) return a.refuse();
    // A pose that reads the same is the view's own: keeping it keeps every bit.
    if (count == 4 && payload == cameraVectorsPayload(*a.view.m_pCamera)) return;
    Camera& c = a.view.changeCamera();
    c.setPosition(v[0]);
    if (count == 4)
        c.setAxes(v[1], v[2], v[3]);
    else
        c.lookAlong(v[1]);
}

// Segmentation and cut planes.

void writeSegHistory(std::string& text, const ViewCore& view, const CaptureRecord&) {
    appendLine(text, kSegHistoryKeyword.keyword, view.m_segHistory);
}

void readSegHistory(LineApplying& a, const std::string& history) {
    // A peer's message goes in batches; a restored text is taken whole.
    const bool peer = findLine(kMarker.keyword, a.text).has_value();
    if (applySegHistory(a.view, history, peer ? kMaxReplayedOperations : kReplayEverything).cutOff)
        a.actions.continueSegHistory(history);
}

void writeCutPlanes(std::string& text, const ViewCore& view, const CaptureRecord&) {
    const CutPlaneSet& planes = view.planes();
    line(text, kCutPlanesKeyword, FieldWriter().integer(planes.m_iNumCutPlanes));
    for (int i = 0; i < planes.m_iNumCutPlanes; ++i)
        appendLine(text, cutPlaneKeyword(i), cutPlanePayload(*planes.at(i)));
}

void readCutPlanes(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t count = 0;
    if (!r.readInt(count) || count < 0 || count > kMaxCutPlanes) return a.refuse();
    // The whole table is read before the view's is touched: it never ends
    // half-written.
    CutPlane received[kMaxCutPlanes];
    const CutPlaneSet& current = a.view.planes();
    for (int i = 0; i < count; ++i) {
        std::optional<std::string> found = findLine(cutPlaneKeyword(i), a.text);
        if (!found) return a.refuse();
        FieldReader p(*found);
        Vec3 point, normal;
        if (!readVec(p, point) || !readVec(p, normal) || !(length(normal) >= kMinAxisLength)) return a.refuse();
        // A plane that reads the same as the view's keeps the view's exact values.
        if (i < current.m_iNumCutPlanes && *found == cutPlanePayload(*current.at(i))) {
            point = current.at(i)->point;
            normal = current.at(i)->normal;
        }
        received[i] = CutPlane(point, point, normal, 0);
    }
    CutPlaneSet& planes = a.view.changePlanes();
    planes.deleteAllCutPlanes();
    for (int i = 0; i < count; ++i) planes.m_cutPlanes[static_cast<size_t>(i)] = received[i];
    planes.m_iNumCutPlanes = count;
}

void writeCutPlaneEdit(std::string& text, const ViewCore& view, const CaptureRecord&) {
    line(text, kCutPlaneEditKeyword,
         FieldWriter().integer(view.planes().m_iSelectedCutPlane).integer(view.m_bCutPlaneMode ? 1 : 0));
}

void readCutPlaneEdit(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t selected = 0, mode = 0;
    if (!r.readInt(selected) || !r.readInt(mode)) return a.refuse();
    if (selected < -1 || selected >= a.view.planes().m_iNumCutPlanes) return a.refuse();
    a.view.selectCutPlane(selected);
    a.view.m_bCutPlaneMode = mode == 1;
}

// Tools, the value under the cursor, captures.

void writeControl(std::string& text, const ViewCore& view, const CaptureRecord&) {
    line(text, kControlKeyword, FieldWriter().integer(view.m_iToolGroup).integer(view.m_iRightTool).integer(view.m_iDragMode));
}

void readControl(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t group = 0, tool = 0, drag = 0;
    if (!r.readInt(group) || !r.readInt(tool) || !r.readInt(drag)) return a.refuse();
    if (group < 0 || group > kMaxToolGroup || tool < 0 || tool > kMaxTool || drag < 0 || drag > kMaxDragMode)
        return a.refuse();
    a.view.m_iToolGroup = group;
    a.view.m_iRightTool = tool;
    a.view.m_iDragMode = drag;
}

// A view is in the cut-plane mode only with the cut-plane tools: leaving
// them ends the mode, and a tool change sends just its control line (a late
// joiner's merged state may hold an older edit line).
void endCutPlaneModeOutsideItsTools(LineApplying& a) {
    if (a.view.m_iToolGroup != GROUP_CUT_PLANES) a.view.m_bCutPlaneMode = false;
}

void writePointedValue(std::string& text, const ViewCore& view, const CaptureRecord&) {
    line(text, kPointedValueKeyword, FieldWriter().integer(view.m_iProbeHU));
}

void readPointedValue(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    int32_t value = 0;
    if (!r.readInt(value)) return a.refuse();
    a.view.m_iProbeHU = value;
}

void writeCapture(std::string& text, const ViewCore& view, const CaptureRecord& capture) {
    line(text, kCaptureKeyword,
         FieldWriter()
             .integer(capture.lastCaptureWidth)
             .integer(capture.lastCaptureHeight)
             .word(view.m_pFrame ? view.m_pFrame->firstImageId : std::string())
             .word(capture.lastCaptureSopUid)
             .word(capture.captureSeriesUid)
             .integer(static_cast<int>(capture.captureSeriesNumber)));
}

void readCapture(LineApplying& a, const std::string& payload) {
    FieldReader r(payload);
    PeerCapture c;
    int32_t number = 0;
    if (!(r.readInt(c.width) && r.readInt(c.height) && r.readWord(c.firstImageId, kMaxCaptureWord) &&
          r.readWord(c.sopUid, kMaxCaptureWord) && r.readWord(c.seriesUid, kMaxCaptureWord) && r.readInt(number)))
        return a.refuse();
    if (c.width < 1 || c.width > kMaxCaptureSize || c.height < 1 || c.height > kMaxCaptureSize || number < 0)
        return a.refuse();
    c.seriesNumber = static_cast<uint32_t>(number);
    a.capture.captureSeriesUid = c.seriesUid;
    a.capture.captureSeriesNumber = c.seriesNumber;
    // The export dialog's closing message repeats the last image's line: a
    // second image with the same instance UID would be a duplicate.
    std::vector<std::string>& made = a.capture.peerImageSopUids;
    if (std::find(made.begin(), made.end(), c.sopUid) != made.end()) return;
    a.actions.captureForPeer(c);
    if (made.size() == kRememberedPeerImages) made.erase(made.begin());
    made.push_back(c.sopUid);
}

void readPutUnder(LineApplying& a, const std::string&) {
    a.actions.quickCapture();
    a.putUnder = true;
}

constexpr int kCameraGroup = CHANGE_CAMERA;
constexpr int kPlaneGroups = CHANGE_SEGMENTATION | CHANGE_CUT_PLANES;

const StateLineTable kLines = {{
    {kCameraKeyword, kCameraGroup, writeCamera, readCamera, nullptr},
    {kRendererKeyword, kCameraGroup, writeRenderer, readRenderer, nullptr},
    {kFrameKeyword, kCameraGroup, writeFrame, readFrame, nullptr},
    {kTumblingKeyword, kCameraGroup, writeTumbling, readTumbling, nullptr},
    {kThresholdKeyword, kCameraGroup, writeThreshold, readThreshold, nullptr},
    {kWindowKeyword, kCameraGroup, writeWindow, readWindow, nullptr},
    {kCameraVectorsKeyword, CHANGE_CAMERA_VECTORS, writeCameraVectors, readCameraVectors, nullptr},
    {kSegHistoryKeyword, CHANGE_SEGMENTATION, writeSegHistory, readSegHistory, nullptr},
    {kCutPlanesKeyword, kPlaneGroups, writeCutPlanes, readCutPlanes, nullptr},
    {kCutPlaneEditKeyword, kPlaneGroups, writeCutPlaneEdit, readCutPlaneEdit, nullptr},
    {kControlKeyword, CHANGE_CONTROL, writeControl, readControl, endCutPlaneModeOutsideItsTools},
    {kPointedValueKeyword, CHANGE_PROBE, writePointedValue, readPointedValue, nullptr},
    {kCaptureKeyword, CHANGE_CAPTURE, writeCapture, readCapture, nullptr},
    // Asked for by a peer's user; never written by a view.
    {kPutUnderKeyword, 0, nullptr, readPutUnder, nullptr},
}};

}  // namespace

const StateLineTable& stateLines() { return kLines; }

}  // namespace v3d
