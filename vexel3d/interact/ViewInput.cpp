#include "interact/ViewInput.h"

#include "render/Camera.h"
#include "render/RenderWorkspace.h"
#include "interact/ViewWindow.h"
#include "interact/WheelSteps.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "view/ViewTools.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <algorithm>

namespace v3d {

namespace {

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

// Units the barrier starts before the grid and ends beyond it.
constexpr float kSweepMargin = 10.0f;

// The outline cut of a right release. The barrier crosses the whole grid
// along the view: one that stopped at the clip box (after a flood had
// shrunk it) would leave a gap behind, joining the inside to the outside,
// and the one part left would be decided as outside.
int cutAlongOutline(ViewCore& view, int flags) {
    if (!view.m_pCamera || view.m_pCamera->perspective || !view.m_pVolume) return 0;
    const RenderWorkspace& ws = *view.m_workspace;
    const int half = view.m_iImageWidth / 2;
    const Vec3 direction = ws.rayDir[RenderWorkspace::index(half, half)];
    const int n = std::clamp(view.m_iNumRoiPoints, 0, static_cast<int>(view.m_roiPoints.size()));
    const std::vector<Vec3> points(view.m_roiPoints.begin(), view.m_roiPoints.begin() + n);
    if (points.empty()) return 0;
    // Depths of the grid's corners from the outline's plane.
    const Vec3 extent = view.m_pVolume->getExtent();
    float nearDepth = 0.0f, farDepth = 0.0f;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 c((corner & 1) ? extent.x : 0.0f, (corner & 2) ? extent.y : 0.0f, (corner & 4) ? extent.z : 0.0f);
        const float t = dot(c - points[0], direction);
        nearDepth = corner == 0 ? t : std::min(nearDepth, t);
        farDepth = corner == 0 ? t : std::max(farDepth, t);
    }
    const float start = nearDepth - kSweepMargin;
    const int range = static_cast<int>((farDepth + kSweepMargin) - start) + 1;
    cutWithOutline(view, points, direction, start, range, (flags & MOUSE_SHIFT) == 0);
    return CHANGE_SEGMENTATION;
}

int cycleRightTool(ViewCore& view) {
    const CutPlaneSet& planes = view.planes();
    int& tool = view.m_iRightTool;
    if (view.m_iToolGroup == GROUP_IMAGE) {
        switch (tool) {
        case 0: tool = 1; return CHANGE_CONTROL;
        case 1: tool = 2; return CHANGE_CONTROL;
        case 2: tool = 4; return CHANGE_CONTROL;
        case 4: tool = 3; return CHANGE_CONTROL;
        case 3: tool = 0; return CHANGE_CONTROL;
        default: break;
        }
    }
    // A change of the selected plane travels in the cut-plane group's edit line.
    const int selected = planes.m_iSelectedCutPlane;
    if (tool == TOOL_CUT_CREATE) {
        // Nothing to move yet: the tool stays, but the group still reports.
        if (planes.m_iNumCutPlanes > 0) {
            tool = TOOL_CUT_MOVE;
            if (planes.m_iSelectedCutPlane < 0) view.selectCutPlane(0);
        }
        return planes.m_iSelectedCutPlane != selected ? CHANGE_CONTROL | CHANGE_CUT_PLANES : CHANGE_CONTROL;
    }
    if (tool == TOOL_CUT_MOVE) {
        tool = TOOL_CUT_CREATE;
        view.selectCutPlane(-1);
        return selected != -1 ? CHANGE_CONTROL | CHANGE_CUT_PLANES : CHANGE_CONTROL;
    }
    if (tool >= TOOL_SELECT_OBJECT && tool <= TOOL_ROI) {
        tool = tool == TOOL_ROI ? TOOL_SELECT_OBJECT : tool + 1;
        return CHANGE_CONTROL;
    }
    return 0;
}

}  // namespace

int leftPress(ViewCore& view, ClientPoint point) {
    view.m_pressPoint = point;
    view.m_bAnchorReset = true;
    SeriesState* frame = view.m_pFrame;
    ViewServices& host = view.services();
    if (!frame || !host.hasPatientCursor()) return CHANGE_NONE;
    Vec3 patient;
    if (patientPointUnder(view, point, patient)) {
        const int32_t series = frame->hostVolume ? frame->hostVolume->seriesHandle : 0;
        host.placePatientCursor(series, patient.x, patient.y, patient.z);
    } else {
        host.placePatientCursor(0, 0.0, 0.0, 0.0);
    }
    return CHANGE_NONE;
}

int leftRelease(ViewCore& view, ViewWindow& window) {
    window.releaseCursorClip();
    if (view.m_pFrame && view.services().hasPatientCursor()) view.services().placePatientCursor(0, 0.0, 0.0, 0.0);
    view.m_bAnchorReset = true;
    view.m_iDragMode = DRAG_NONE;
    return 0;
}

int rightPress(ViewCore& view, ClientPoint point) {
    view.m_pressPoint = point;
    view.m_iNumRoiPoints = 0;
    view.m_bRoiClosed = false;
    view.m_bAnchorReset = true;
    const CutPlane* plane = view.planes().selected();
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
    if (length(hit - plane->point) < 500.0f) {
        CutPlane* grabbed = view.changePlanes().selected();
        grabbed->point = hit;
        grabbed->keepAsWritten();
    }
    return CHANGE_CUT_PLANES;
}

int rightRelease(ViewCore& view, ViewWindow& window, int flags) {
    window.releaseCursorClip();
    view.m_bAnchorReset = true;
    int mask = 0;
    if (view.m_iRightTool == TOOL_CUT_MOVE) {
        if (view.planes().selected()) {
            CutPlaneSet& planes = view.changePlanes();
            planes.recentre(*view.m_pVolume, planes.m_iSelectedCutPlane);
            view.m_iDragMode = DRAG_NONE;
            // The plane's point moved: the peers' planes follow.
            mask = CHANGE_CUT_PLANES;
        }
    }
    if (view.m_iDragMode == DRAG_CUT_LINE) {
        mask = view.createCutPlaneFromLine() ? CHANGE_CUT_PLANES : CHANGE_NONE;
    } else if (!view.m_bRoiClosed && view.m_iDragMode == DRAG_OUTLINE) {
        mask = cutAlongOutline(view, flags);
    }
    view.m_iDragMode = DRAG_NONE;
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

int wheel(ViewCore& view, WheelSteps& steps, int delta) {
    if (!view.m_pCamera || !view.m_pVolume) return CHANGE_NONE;
    const bool notched = view.m_iRightTool == TOOL_CUT_MOVE || view.m_iRightTool == TOOL_DENSITY_RANGE ||
                         !view.m_pCamera->perspective;
    if (!notched) {
        // The perspective move scales with the delta itself.
        const Camera& camera = *view.m_pCamera;
        const Vec3 step = camera.getUnitView() * (static_cast<float>(delta) / 12.0f);
        placeCameraNear(view, camera.localRayOriginForPixel(0, 1, 0, 1) + step);
        view.requestRender(true);
        return CHANGE_CAMERA_VECTORS;
    }
    const int notches = steps.add(delta);
    if (notches == 0) return CHANGE_NONE;
    const int s = sign(notches);
    const int count = notches * s;
    if (view.m_iRightTool == TOOL_CUT_MOVE) {
        const CutPlane* plane = view.planes().selected();
        if (!plane) return CHANGE_NONE;
        const Vec3 push = plane->normal * (-5.0f * static_cast<float>(s));
        for (int i = 0; i < count; ++i) pushSelectedPlane(view, push);
        view.requestRender(true);
        return CHANGE_CUT_PLANES;
    }
    if (view.m_iRightTool == TOOL_DENSITY_RANGE) {
        for (int i = 0; i < count; ++i) {
            const int r = view.m_prefs.segRad;
            const int next =
                s > 0 ? std::max(static_cast<int>(r * 1.15), r + 1) : std::min(static_cast<int>(r / 1.15), r - 1);
            view.m_prefs.segRad = std::clamp(next, kMinSegRadius, kMaxSegRadius);
        }
        view.requestRender(true);
        return CHANGE_CAMERA;
    }
    Camera& camera = view.changeCamera();
    for (int i = 0; i < count; ++i) camera.setZoom(camera.getZoom() + static_cast<float>(s) * 10.0f / 256.0f);
    view.requestRender(true);
    return CHANGE_CAMERA;
}

int doubleClickPick(ViewCore& view, ClientPoint point, int flags) {
    view.m_bAnchorReset = true;
    if (view.m_iToolGroup == GROUP_SELECTION) {
        floodAtPixel(view, point, (flags & MOUSE_SHIFT) == 0);
        view.m_iDragMode = DRAG_NONE;
        view.requestRender(true);
        return CHANGE_SEGMENTATION;
    }
    if (view.m_iToolGroup != GROUP_CUT_PLANES) return 0;
    const ClientPoint px = view.clientToImage(point);
    const int surface = view.m_workspace->entrySurface[RenderWorkspace::index(px.x, px.y)];
    // A stale entry from before a plane was deleted counts as background.
    if (surface < 0 || surface >= view.planes().m_iNumCutPlanes) {
        view.selectCutPlane(-1);
        view.requestRender(true);
        return CHANGE_CUT_PLANES;
    }
    view.selectCutPlane(surface);
    view.m_iRightTool = TOOL_CUT_MOVE;
    view.requestRender(true);
    return CHANGE_CUT_PLANES | CHANGE_CONTROL;
}

}  // namespace v3d
