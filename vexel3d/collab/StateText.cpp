#include "collab/StateText.h"

#include "collab/CaptureRecord.h"
#include "wire/NumericCLocale.h"
#include "wire/StateLines.h"
#include "render/Camera.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <cstdarg>
#include <cstdio>

namespace v3d {

namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* fmt, ...) {
    const NumericCLocale c;
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    va_end(args);
    return out;
}

double d(float v) { return static_cast<double>(v); }

void cameraGroup(std::string& text, const ViewCore& view) {
    // Both zooms come from a copy: the view's camera is read-only here.
    Camera camera = *view.m_pCamera;
    camera.perspective = false;
    camera.updateCornerRays();
    const float parallelZoom = camera.getZoom();
    camera.perspective = true;
    camera.updateCornerRays();
    const float perspectiveZoom = camera.getZoom();
    appendLine(text, "J_camera ",
               format("%d %f %f %f %f %f %f", view.m_pCamera->perspective ? 1 : 0, d(perspectiveZoom), d(parallelZoom),
                      d(view.m_fHue), d(view.m_fSaturation), d(view.m_fDiffuse), d(view.m_fShine)));
    appendLine(text, "J_renderer ", format("%d", view.m_iRenderMode));
    appendLine(text, "J_frame ", format("%d", view.m_iReferenceFrame == 0 ? 1 : 0));
    appendLine(text, "J_tumbling ", format("%d", view.m_bNoTumble ? 1 : 0));
    const CVolume& volume = *view.m_pVolume;
    appendLine(text, "J_threshold ", format("%d", volume.storedToHU(volume.isoStored)));
    const int width = volume.storedToHU(volume.windowHighStored) - volume.storedToHU(volume.windowLowStored);
    const int level = volume.storedToHU((volume.windowLowStored + volume.windowHighStored) / 2);
    appendLine(text, "J_wwwc ", format("%d %d", width, level));
}

void cameraVectors(std::string& text, const Camera& c) {
    appendLine(text, "J_camvectors ", cameraVectorsPayload(c));
}

void cutPlanes(std::string& text, const ViewCore& view) {
    const CutPlaneSet& planes = view.planes();
    appendLine(text, "J_cutplanes ", format("%d", planes.m_iNumCutPlanes));
    for (int i = 0; i < planes.m_iNumCutPlanes; ++i) {
        const CutPlane& p = *planes.at(i);
        const std::string key = format("cutpln%ddata ", i);
        appendLine(text, key.c_str(), cutPlanePayload(p));
    }
    appendLine(text, "J_cutplaneedit ", format("%d %d", planes.m_iSelectedCutPlane, view.m_bCutPlaneMode ? 1 : 0));
}

}  // namespace

std::string sixDecimals(float value) { return format("%f", d(value)); }

std::string cameraVectorsPayload(const Camera& c) {
    return format("%f %f %f %f %f %f %f %f %f %f %f %f", d(c.position.x), d(c.position.y), d(c.position.z),
                  d(c.right.x), d(c.right.y), d(c.right.z), d(c.up.x), d(c.up.y), d(c.up.z), d(c.view.x), d(c.view.y),
                  d(c.view.z));
}

std::string cutPlanePayload(const CutPlane& p) {
    return format("%f %f %f %f %f %f", d(p.point.x), d(p.point.y), d(p.point.z), d(p.normal.x), d(p.normal.y),
                  d(p.normal.z));
}

std::string buildStateText(const ViewCore& view, const CaptureRecord& capture, int mask) {
    std::string text;
    if (mask <= 0 || !view.m_pCamera || !view.m_pVolume) return text;
    if (mask & CHANGE_CAMERA) cameraGroup(text, view);
    if (mask & CHANGE_CAMERA_VECTORS) cameraVectors(text, *view.m_pCamera);
    if (mask & CHANGE_SEGMENTATION) appendLine(text, "J_seghistory ", view.m_segHistory);
    if (mask & (CHANGE_SEGMENTATION | CHANGE_CUT_PLANES)) cutPlanes(text, view);
    if (mask & CHANGE_CONTROL)
        appendLine(text, "J_control ", format("%d %d %d", view.m_iToolGroup, view.m_iRightTool, view.m_iDragMode));
    if (mask & CHANGE_PROBE) appendLine(text, "J_pointedvalue ", format("%d", view.m_iProbeHU));
    if (mask & CHANGE_CAPTURE) {
        const std::string firstImage = view.m_pFrame ? view.m_pFrame->firstImageId : std::string();
        appendLine(text, "J_capture ",
                   format("%d %d %s %s %s %d", capture.lastCaptureWidth, capture.lastCaptureHeight, firstImage.c_str(),
                          capture.lastCaptureSopUid.c_str(), capture.captureSeriesUid.c_str(),
                          static_cast<int>(capture.captureSeriesNumber)));
    }
    return text;
}

}  // namespace v3d
