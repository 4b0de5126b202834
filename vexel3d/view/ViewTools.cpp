#include "view/ViewTools.h"

#include "render/Camera.h"
#include "render/RenderWorkspace.h"
#include "view/ViewCore.h"
#include "view/ViewWindow.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include "QVHostApi.h"

#include <algorithm>

namespace {

constexpr float kCameraLimit = 2.5f;
constexpr float kCameraPlace = 2.45f;

int sign(int delta) { return delta > 0 ? 1 : -1; }

// The volume-space surface point under a client point, in patient
// coordinates; false outside the image or where no ray hit a surface.
bool patientPointUnder(ViewCore& view, ClientPoint point, Vec3& patient) {
    if (!view.m_pCamera || !view.m_pVolume || !view.isInsideImage(point)) return false;
    const ClientPoint px = view.clientToImage(point);
    const RenderWorkspace& ws = *view.m_workspace;
    const float d = ws.depth[RenderWorkspace::wide(px.x, px.y)];
    if (!(d > 0.0f)) return false;
    const Vec3 P = view.m_pCamera->rayOriginForPixel(px.x, view.m_iImageWidth, px.y, view.m_iImageHeight) +
                   ws.rayDir[RenderWorkspace::index(px.x, px.y)] * d;
    const CVolume& volume = *view.m_pVolume;
    patient = volume.origin + (volume.axisMatrix * P) * volume.minSpacing;
    return true;
}

// Hook: seeds a flood fill at the surface under the point once the
// segmentation engine exists (the double-click of the selection group).
void floodAtPixel(ViewCore&, ClientPoint, bool /*add*/) {}

// Hook: cuts the volume along the freehand outline once the segmentation
// engine exists. The parameters are those the cut will need.
void cutWithOutline(ViewCore&, const Vec3& /*direction*/, float /*startDepth*/, int /*depthRange*/, bool /*keep*/) {}

// The outline cut of a right release: depth bounds from the last render.
int cutAlongOutline(ViewCore& view, int flags) {
    if (!view.m_pCamera || view.m_pCamera->perspective) return 0;
    const RenderWorkspace& ws = *view.m_workspace;
    float nearDepth = 100000.0f;
    float farDepth = 0.0f;
    for (int x = 0; x < view.m_iImageWidth; ++x)
        for (int y = 0; y < view.m_iImageHeight; ++y) {
            const int i = RenderWorkspace::index(x, y);
            if (ws.entryDistance[i] > 0.0f) nearDepth = std::min(nearDepth, ws.entryDistance[i]);
            farDepth = std::max(farDepth, ws.exitDistance[i]);
        }
    const int half = view.m_iImageWidth / 2;
    const Vec3 direction = ws.rayDir[RenderWorkspace::index(half, half)];
    const float start = nearDepth - 10.0f;
    const int range = static_cast<int>((farDepth + 10.0f) - start);
    cutWithOutline(view, direction, start, range, (flags & MOUSE_SHIFT) == 0);
    return 4;
}

int cycleRightTool(ViewCore& view) {
    CutPlaneSet& planes = view.planes();
    int& tool = view.m_iRightTool;
    if (view.m_iToolGroup == 0) {
        switch (tool) {
        case 0: tool = 1; return 16;
        case 1: tool = 2; return 16;
        case 2: tool = 4; return 16;
        case 4: tool = 3; return 16;
        case 3: tool = 0; return 16;
        default: break;
        }
    }
    if (tool == TOOL_CUT_CREATE) {
        // Nothing to move yet: the tool stays, but the group still reports.
        if (planes.m_iNumCutPlanes > 0) {
            tool = TOOL_CUT_MOVE;
            if (planes.m_iSelectedCutPlane < 0) planes.m_iSelectedCutPlane = 0;
        }
        return 16;
    }
    if (tool == TOOL_CUT_MOVE) {
        tool = TOOL_CUT_CREATE;
        planes.m_iSelectedCutPlane = -1;
        return 16;
    }
    if (tool >= TOOL_SELECT_OBJECT && tool <= TOOL_ROI) {
        tool = tool == TOOL_ROI ? TOOL_SELECT_OBJECT : tool + 1;
        return 16;
    }
    return 0;
}

}  // namespace

bool viewIsReady(const ViewCore& view) { return view.m_pFrame && view.m_pFrame->m_bHasSeries != 0; }

bool hasControl() { return QVHasCollaborationControl() != 0; }

float halfDiagonal(const ViewCore& view) {
    return view.m_pVolume ? length(view.m_pVolume->getExtent() - view.m_pVolume->center()) : 0.0f;
}

bool placeCameraNear(ViewCore& view, const Vec3& proposed) {
    if (!view.m_pCamera || !view.m_pVolume) return false;
    const Vec3 c = view.m_pVolume->center();
    const float k = halfDiagonal(view);
    const float distance = length(proposed - c);
    if (!(distance < kCameraLimit * k)) return false;
    // At the centre itself there is no direction to pull along.
    if (distance == 0.0f) {
        view.m_pCamera->setPosition(c);
        return true;
    }
    view.m_pCamera->setPosition(c + (proposed - c) / distance * std::min(distance, kCameraPlace * k));
    return true;
}

void turnCamera(ViewCore& view, int axis, float degrees) {
    if (!view.m_pCamera) return;
    if (view.m_bNoTumble)
        view.m_pCamera->turn(axis, degrees);
    else
        view.m_pCamera->rotateAboutOwnAxis(axis, degrees);
}

bool pushSelectedPlane(ViewCore& view, const Vec3& d) {
    CutPlane* plane = view.planes().selected();
    if (!plane || !view.m_pVolume) return false;
    const Vec3 c = view.m_pVolume->center();
    if (!(length(plane->point + d - c) < length(c))) return false;
    plane->translate(d);
    return true;
}

int leftPress(ViewCore& view, ClientPoint point) {
    view.m_pressPoint = point;
    view.m_bAnchorReset = true;
    SeriesState* frame = view.m_pFrame;
    if (!frame || !frame->hostSetMagicX) return 0;
    Vec3 patient;
    if (patientPointUnder(view, point, patient)) {
        const int32_t series = frame->hostVolume ? frame->hostVolume->seriesHandle : 0;
        frame->hostSetMagicX(series, patient.x, patient.y, patient.z);
    } else {
        frame->hostSetMagicX(0, 0.0, 0.0, 0.0);
    }
    return 0;
}

int leftRelease(ViewCore& view, ViewWindow& window) {
    window.releaseCursorClip();
    if (view.m_pFrame && view.m_pFrame->hostSetMagicX) view.m_pFrame->hostSetMagicX(0, 0.0, 0.0, 0.0);
    view.m_bAnchorReset = true;
    view.m_iDragMode = 0;
    return 0;
}

int rightPress(ViewCore& view, ClientPoint point) {
    view.m_pressPoint = point;
    view.m_iNumRoiPoints = 0;
    view.m_bRoiClosed = false;
    view.m_bAnchorReset = true;
    CutPlane* plane = view.planes().selected();
    if (view.m_iRightTool != TOOL_CUT_MOVE || !plane || !view.m_pCamera) return 0;
    const ClientPoint px = view.clientToImage(point);
    const RenderWorkspace& ws = *view.m_workspace;
    const int i = RenderWorkspace::index(px.x, px.y);
    const float t = ws.selectedPlaneDistance[i];
    if (!(t > 0.0f)) {
        view.repaint();
        return 0;
    }
    // The plane turns about the point grabbed, unless that is far off.
    const Vec3 hit =
        view.m_pCamera->rayOriginForPixel(px.x, view.m_iImageWidth, px.y, view.m_iImageHeight) + ws.rayDir[i] * t;
    if (length(hit - plane->point) < 500.0f) plane->point = hit;
    return 8;
}

int rightRelease(ViewCore& view, ViewWindow& window, int flags) {
    window.releaseCursorClip();
    view.m_bAnchorReset = true;
    if (view.m_iRightTool == TOOL_CUT_MOVE) {
        if (CutPlane* plane = view.planes().selected()) {
            plane->recentre();
            view.m_iDragMode = 0;
        }
    }
    int mask = 0;
    if (view.m_iDragMode == 4) {
        mask = view.createCutPlaneFromLine() ? 8 : 0;
    } else if (!view.m_bRoiClosed && view.m_iDragMode == 14) {
        mask = cutAlongOutline(view, flags);
    }
    view.m_iDragMode = 0;
    view.requestRender(true);
    return mask;
}

int middlePress(ViewCore& view, ClientPoint point) {
    view.m_pressPoint = point;
    view.m_bAnchorReset = true;
    const int mask = cycleRightTool(view);
    view.repaint();
    return mask;
}

int wheel(ViewCore& view, int delta) {
    if (!view.m_pCamera || !view.m_pVolume) return 0;
    const int s = sign(delta);
    if (view.m_iRightTool == TOOL_CUT_MOVE) {
        CutPlane* plane = view.planes().selected();
        if (!plane) return 0;
        pushSelectedPlane(view, plane->normal * (-5.0f * static_cast<float>(s)));
        view.requestRender(true);
        return 8;
    }
    if (view.m_iRightTool == TOOL_DENSITY_RANGE) {
        const int r = view.m_iSegRad;
        const int next = s > 0 ? std::max(static_cast<int>(r * 1.15), r + 1) : std::min(static_cast<int>(r / 1.15), r - 1);
        view.m_iSegRad = std::clamp(next, 1, 2000);
        view.requestRender(true);
        return 1;
    }
    Camera& camera = *view.m_pCamera;
    if (camera.perspective) {
        const Vec3 step = camera.getUnitView() * (static_cast<float>(delta) / 12.0f);
        placeCameraNear(view, camera.localRayOriginForPixel(0, 1, 0, 1) + step);
        view.requestRender(true);
        return 2;
    }
    camera.setZoom(camera.getZoom() + static_cast<float>(s) * 10.0f / 256.0f);
    view.requestRender(true);
    return 1;
}

int doubleClickPick(ViewCore& view, ClientPoint point, int flags) {
    view.m_bAnchorReset = true;
    if (view.m_iToolGroup == 2) {
        floodAtPixel(view, point, (flags & MOUSE_SHIFT) == 0);
        view.m_iDragMode = 0;
        view.requestRender(true);
        return 4;
    }
    if (view.m_iToolGroup != 1) return 0;
    const ClientPoint px = view.clientToImage(point);
    const int surface = view.m_workspace->entrySurface[RenderWorkspace::index(px.x, px.y)];
    CutPlaneSet& planes = view.planes();
    // A stale entry from before a plane was deleted counts as background.
    if (surface < 0 || surface >= planes.m_iNumCutPlanes) {
        planes.m_iSelectedCutPlane = -1;
        view.requestRender(true);
        return 8;
    }
    planes.m_iSelectedCutPlane = surface;
    view.m_iRightTool = TOOL_CUT_MOVE;
    view.requestRender(true);
    return 24;
}
