#include "collab/PeerState.h"

#include "collab/CaptureRecord.h"
#include "collab/SegHistoryReplay.h"
#include "wire/StateLines.h"
#include "collab/StateText.h"
#include "render/Camera.h"
#include "view/ViewCore.h"
#include "view/ViewTools.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

class Applier {
public:
    Applier(ViewCore& view, CaptureRecord& capture, PeerStateActions& actions, const std::string& text)
        : m_view(view), m_capture(capture), m_actions(actions), m_text(text) {}

    PeerStateStatus run();
    int refused = 0;

private:
    // The payload of key, or nothing; a line found and then ignored counts.
    bool find(const char* key, std::string& payload) {
        std::optional<std::string> found = findLine(key, m_text);
        if (!found) return false;
        payload = std::move(*found);
        return true;
    }
    void refuse() { ++refused; }

    void camera();
    void renderer();
    void frame();
    void tumbling();
    void threshold();
    void windowLevel();
    void cameraVectors();
    void segmentation();
    void cutPlanes();
    void cutPlaneEdit();
    void control();
    void pointedValue();
    void captureLine();
    bool putUnder();

    bool insideCameraSphere(const Vec3& position) const {
        const float limit = kCameraLimit * halfDiagonal(m_view);
        return length(position - m_view.m_pVolume->center()) < limit;
    }

    ViewCore& m_view;
    CaptureRecord& m_capture;
    PeerStateActions& m_actions;
    const std::string& m_text;
};

void Applier::camera() {
    std::string payload;
    if (!find("J_camera ", payload)) return;
    FieldReader r(payload);
    int32_t perspective = 0;
    float perspectiveZoom = 0, parallelZoom = 0, hue = 0, saturation = 0, diffuse = 0, shine = 0;
    if (!(r.readInt(perspective) && r.readFloat(perspectiveZoom) && r.readFloat(parallelZoom) && r.readFloat(hue) &&
          r.readFloat(saturation) && r.readFloat(diffuse) && r.readFloat(shine)))
        return refuse();
    // Zooms beyond 0..1 would leave the camera's range of field and width.
    if (!within(perspectiveZoom, 0, 1) || !within(parallelZoom, 0, 1)) return refuse();
    if (!within(hue, 0, kMaxHue) || !within(saturation, 0, 1) || !within(diffuse, 0, 1) || !within(shine, 0, kMaxPeerShine))
        return refuse();
    Camera& c = m_view.changeCamera();
    c.perspective = false;
    c.updateCornerRays();
    setZoomUnlessSame(c, parallelZoom);
    c.perspective = true;
    c.updateCornerRays();
    setZoomUnlessSame(c, perspectiveZoom);
    c.perspective = perspective != 0;
    c.updateCornerRays();
    if (hue != m_view.m_fHue || saturation != m_view.m_fSaturation || diffuse != m_view.m_fDiffuse ||
        shine != m_view.m_fShine) {
        m_view.m_fHue = hue;
        m_view.m_fSaturation = saturation;
        m_view.m_fDiffuse = diffuse;
        m_view.m_fShine = shine;
        m_view.buildShadeTable();
    }
}

void Applier::renderer() {
    std::string payload;
    if (!find("J_renderer ", payload)) return;
    FieldReader r(payload);
    int32_t mode = 0;
    if (!r.readInt(mode) || mode < 0 || mode >= kRenderModeCount) return refuse();
    m_view.setRenderMode(mode);
}

void Applier::frame() {
    std::string payload;
    if (!find("J_frame ", payload)) return;
    FieldReader r(payload);
    int32_t anterior = 0;
    if (!r.readInt(anterior)) return refuse();
    const bool caudal = m_view.m_iReferenceFrame == 1;
    if (anterior != 0 && caudal)
        m_view.applyReferenceFrame(0);
    else if (anterior == 0 && !caudal)
        m_view.applyReferenceFrame(1);
}

void Applier::tumbling() {
    std::string payload;
    if (!find("J_tumbling ", payload)) return;
    FieldReader r(payload);
    int32_t value = 0;
    if (!r.readInt(value)) return refuse();
    m_view.m_bNoTumble = value == 1;
}

void Applier::threshold() {
    std::string payload;
    if (!find("J_threshold ", payload)) return;
    FieldReader r(payload);
    int32_t hu = 0;
    if (!r.readInt(hu)) return refuse();
    m_view.changeVolume().setIsoValue(hu);
}

void Applier::windowLevel() {
    std::string payload;
    if (!find("J_wwwc ", payload)) return;
    FieldReader r(payload);
    int32_t width = 0, level = 0;
    if (!r.readInt(width) || !r.readInt(level)) return refuse();
    m_view.changeVolume().setWindowLevel(level, width);
}

void Applier::cameraVectors() {
    std::string payload;
    if (!find("J_camvectors ", payload)) return;
    FieldReader r(payload);
    // Only a position with a direction (6 numbers) or with all three axes (12).
    float n[13] = {};
    int numbers = 0;
    while (numbers < 13 && r.readFloat(n[numbers])) ++numbers;
    if ((numbers != 6 && numbers != 12) || !r.atEnd()) return refuse();
    const int count = numbers / 3;
    Vec3 v[4];
    for (int i = 0; i < count; ++i) v[i] = Vec3(n[3 * i], n[3 * i + 1], n[3 * i + 2]);
    if (!insideCameraSphere(v[0])) return refuse();
    for (int i = 1; i < count; ++i)
        if (!(length(v[i]) >= kMinAxisLength)) return refuse();
    // A pose that reads the same is the view's own: keeping it keeps every bit.
    if (count == 4 && payload == cameraVectorsPayload(*m_view.m_pCamera)) return;
    Camera& c = m_view.changeCamera();
    c.setPosition(v[0]);
    if (count == 4)
        c.setAxes(v[1], v[2], v[3]);
    else
        c.lookAlong(v[1]);
}

void Applier::segmentation() {
    std::string history;
    if (!find("J_seghistory ", history)) return;
    // A peer's message goes in batches; a restored text is taken whole.
    const bool peer = findLine(kStateMarkerKey, m_text).has_value();
    if (applySegHistory(m_view, history, peer ? kMaxReplayedOperations : kReplayEverything).cutOff)
        m_actions.continueSegHistory(history);
}

void Applier::cutPlanes() {
    std::string payload;
    if (!find("J_cutplanes ", payload)) return;
    FieldReader r(payload);
    int32_t count = 0;
    if (!r.readInt(count) || count < 0 || count > kMaxCutPlanes) return refuse();
    // The whole table is read before the view's is touched: it never ends
    // half-written.
    CutPlane received[kMaxCutPlanes];
    for (int i = 0; i < count; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "cutpln%ddata ", i);
        std::string line;
        if (!find(key, line)) return refuse();
        FieldReader p(line);
        Vec3 point, normal;
        if (!readVec(p, point) || !readVec(p, normal) || !(length(normal) >= kMinAxisLength)) return refuse();
        // A plane that reads the same as the view's keeps the view's exact values.
        if (i < m_view.planes().m_iNumCutPlanes && line == cutPlanePayload(*m_view.planes().at(i))) {
            point = m_view.planes().at(i)->point;
            normal = m_view.planes().at(i)->normal;
        }
        received[i] = CutPlane(point, point, normal, 0);
    }
    CutPlaneSet& planes = m_view.changePlanes();
    planes.deleteAllCutPlanes();
    for (int i = 0; i < count; ++i) planes.m_cutPlanes[static_cast<size_t>(i)] = received[i];
    planes.m_iNumCutPlanes = count;
}

void Applier::cutPlaneEdit() {
    std::string payload;
    if (!find("J_cutplaneedit ", payload)) return;
    FieldReader r(payload);
    int32_t selected = 0, mode = 0;
    if (!r.readInt(selected) || !r.readInt(mode)) return refuse();
    if (selected < -1 || selected >= m_view.planes().m_iNumCutPlanes) return refuse();
    m_view.selectCutPlane(selected);
    m_view.m_bCutPlaneMode = mode == 1;
}

void Applier::control() {
    std::string payload;
    if (!find("J_control ", payload)) return;
    FieldReader r(payload);
    int32_t group = 0, tool = 0, drag = 0;
    if (!r.readInt(group) || !r.readInt(tool) || !r.readInt(drag)) return refuse();
    if (group < 0 || group > kMaxToolGroup || tool < 0 || tool > kMaxTool || drag < 0 || drag > kMaxDragMode)
        return refuse();
    m_view.m_iToolGroup = group;
    m_view.m_iRightTool = tool;
    m_view.m_iDragMode = drag;
}

void Applier::pointedValue() {
    std::string payload;
    if (!find("J_pointedvalue ", payload)) return;
    FieldReader r(payload);
    int32_t value = 0;
    if (!r.readInt(value)) return refuse();
    m_view.m_iProbeHU = value;
}

void Applier::captureLine() {
    std::string payload;
    if (!find("J_capture ", payload)) return;
    FieldReader r(payload);
    PeerCapture c;
    int32_t number = 0;
    if (!(r.readInt(c.width) && r.readInt(c.height) && r.readWord(c.firstImageId, kMaxCaptureWord) &&
          r.readWord(c.sopUid, kMaxCaptureWord) && r.readWord(c.seriesUid, kMaxCaptureWord) && r.readInt(number)))
        return refuse();
    if (c.width < 1 || c.width > kMaxCaptureSize || c.height < 1 || c.height > kMaxCaptureSize || number < 0)
        return refuse();
    c.seriesNumber = static_cast<uint32_t>(number);
    m_capture.captureSeriesUid = c.seriesUid;
    m_capture.captureSeriesNumber = c.seriesNumber;
    // The export dialog's closing message repeats the last image's line: a
    // second image with the same instance UID would be a duplicate.
    std::vector<std::string>& made = m_capture.peerImageSopUids;
    if (std::find(made.begin(), made.end(), c.sopUid) != made.end()) return;
    m_actions.captureForPeer(c);
    if (made.size() == kRememberedPeerImages) made.erase(made.begin());
    made.push_back(c.sopUid);
}

bool Applier::putUnder() {
    if (!findLine("J_putunder ", m_text)) return false;
    m_actions.quickCapture();
    return true;
}

PeerStateStatus Applier::run() {
    SeriesState* series = m_view.m_pFrame;
    if (!series || series->completedFraction < 1.0) {
        // Only the latest text waits for the images.
        if (series) series->pendingState = m_text;
        return PeerStateStatus::Deferred;
    }
    if (!m_view.m_pCamera || !m_view.m_pVolume) return PeerStateStatus::Applied;
    camera();
    renderer();
    frame();
    tumbling();
    threshold();
    windowLevel();
    cameraVectors();
    segmentation();
    cutPlanes();
    cutPlaneEdit();
    control();
    // A view is in the cut-plane mode only with the cut-plane tools: leaving
    // them ends the mode, and a tool change sends just its control line (a
    // late joiner's merged state may hold an older edit line).
    if (m_view.m_iToolGroup != GROUP_CUT_PLANES) m_view.m_bCutPlaneMode = false;
    pointedValue();
    captureLine();
    return putUnder() ? PeerStateStatus::PutUnderHandled : PeerStateStatus::Applied;
}

}  // namespace

PeerStateStatus applyPeerState(ViewCore& view, CaptureRecord& capture, PeerStateActions& actions,
                               const std::string& text, int* refusedLines) {
    Applier applier(view, capture, actions, text);
    const PeerStateStatus status = applier.run();
    if (refusedLines) *refusedLines = applier.refused;
    return status;
}

}  // namespace v3d
