#include "view/ViewDrag.h"

#include "render/Camera.h"
#include "render/Mat3.h"
#include "render/RenderWorkspace.h"
#include "view/MouseAnchor.h"
#include "view/ViewCore.h"
#include "view/ViewTools.h"
#include "view/ViewWindow.h"
#include "volume/CVolume.h"

#include "QVHostApi.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kEdgeMargin = 10;
constexpr int kWarpDistance = 50;
constexpr int kMaxHU = 2995;

// One move's deltas and scales.
struct Drag {
    ClientPoint point;
    float dx = 0.0f;
    float dy = 0.0f;
    float width = 1.0f;   // client size
    float height = 1.0f;
    float sx = 1.0f;      // mouse speeds as fractions
    float sy = 1.0f;
    float inv = 1.0f;
};

bool isWarping(int mode) { return mode == 1 || mode == 2 || mode == 3 || mode == 5 || mode == 6 || mode == 10; }

int leftDragMode(int cameraTool, bool shift, bool ctrl) {
    if (shift && ctrl) return 9;
    switch (cameraTool) {
    case TOOL_ROTATE: return shift ? 1 : ctrl ? 3 : 2;
    case TOOL_STRAFE: return shift ? 1 : ctrl ? 2 : 3;
    case TOOL_MOVE_ROLL: return shift ? 1 : ctrl ? 3 : 10;
    default: return shift ? 2 : ctrl ? 3 : 1;
    }
}

// 0 for a right tool that drags nothing (the middle-button values 0..2).
int rightDragMode(int rightTool) {
    switch (rightTool) {
    case TOOL_CUT_CREATE: return 4;
    case TOOL_CUT_MOVE: return 5;
    case TOOL_ISOVALUE: return 7;
    case TOOL_WINDOW_LEVEL: return 8;
    case TOOL_SHADE: return 11;
    case TOOL_HUE_SAT: return 12;
    case TOOL_SELECT_OBJECT:
    case TOOL_SEG_RANGE:
    case TOOL_DENSITY_RANGE: return 13;
    case TOOL_ROI: return 14;
    default: return 0;
    }
}

int limitStep(float d) { return std::clamp(static_cast<int>(d), -15, 15); }

int isoHU(const CVolume& volume) { return std::clamp(volume.storedToHU(volume.isoStored), -kMaxHU, kMaxHU); }

void setIso(CVolume& volume, int hu) {
    volume.setIsoValue(hu);
    // Kept so that a refresh of the volume re-applies the same isovalue.
    volume.isoHU = std::clamp(hu, -kMaxHU, kMaxHU);
}

int hover(ViewCore& view, const Drag& drag) {
    CRaycaster* renderer = view.currentRenderer();
    if (!renderer || !renderer->hasImage || !view.m_pVolume) return 0;
    int mask = 0;
    view.m_iProbeHU = -8888;
    if (view.isInsideImage(drag.point)) {
        const ClientPoint px = view.clientToImage(drag.point);
        const int i = RenderWorkspace::wide(px.x, px.y);
        if (view.m_workspace->done[i] == 0) {
            renderer->retracePixel(px.x, px.y);
            view.composeImage();
        }
        const int v = view.m_workspace->value[i];
        if (v >= 0) {
            view.m_iProbeHU = view.m_pVolume->storedToHU(v);
            mask = 32;
        }
    }
    view.repaint();
    return mask;
}

int orbitDrag(ViewCore& view, const Drag& d) {
    const float a = d.dx * d.sx / d.width * 360.0f;
    const float b = d.dy * d.sy / d.height * 360.0f * d.inv;
    const Vec3 c = view.m_pVolume->center();
    view.m_pCamera->orbit(1, a, c, view.m_bNoTumble);
    view.m_pCamera->orbit(2, -b, c, view.m_bNoTumble);
    return 2;
}

int rotateDrag(ViewCore& view, const Drag& d) {
    turnCamera(view, 1, -(d.dx * d.sx / d.width * 180.0f));
    turnCamera(view, 2, d.dy * d.sy / d.height * 180.0f * d.inv);
    return 2;
}

int panDrag(ViewCore& view, const Drag& d) {
    Camera& camera = *view.m_pCamera;
    // The horizontal distance takes the vertical speed and vice versa.
    const float h = -d.dx * d.sy;
    const float v = -d.dy * d.sx * d.inv;
    const Vec3 before = camera.position;
    camera.moveAlongAxis(1, -h);
    camera.moveAlongAxis(2, -v);
    const Vec3 c = view.m_pVolume->center();
    if (!(length(camera.localRayOriginForPixel(0, 1, 0, 1) - c) < 2.5f * halfDiagonal(view)))
        camera.setPosition(before);
    return 2;
}

int cutLineDrag(ViewCore& view, const Drag& d) {
    const ClientPoint none{-1, -1};
    if (view.isInsideImage(d.point) && view.isInsideImage(view.m_pressPoint)) {
        view.m_cutLineEnd = d.point;
        view.m_cutLineStart = view.m_pressPoint;
    } else {
        view.m_cutLineStart = view.m_cutLineEnd = none;
        view.m_iDragMode = 0;
    }
    const int lx = view.m_cutLineEnd.x - view.m_cutLineStart.x;
    const int ly = view.m_cutLineEnd.y - view.m_cutLineStart.y;
    if (lx * lx + ly * ly < 900) {
        view.m_cutLineStart = view.m_cutLineEnd = none;
        view.m_iDragMode = 0;
    }
    view.repaint();
    return 0;
}

int turnPlaneDrag(ViewCore& view, const Drag& d) {
    CutPlane* plane = view.planes().selected();
    if (!plane) return 0;
    const float a = d.dx * d.sx / d.width * 180.0f;
    const float b = d.dy * d.sy / d.height * 180.0f * d.inv;
    const CVolume& volume = *view.m_pVolume;
    const Camera& camera = *view.m_pCamera;
    Vec3 h1, h2;
    plane->handles(h1, h2);
    // Turned in volume space, where the camera's axes live.
    const Vec3 q = volume.axisMatrix * plane->point;
    const Mat3 turn = multiply(rotation(camera.up, a), rotation(camera.right, -b));
    Vec3 t1 = volume.inverseAxisMatrix * (turn * (volume.axisMatrix * h1 - q) + q);
    Vec3 t2 = volume.inverseAxisMatrix * (turn * (volume.axisMatrix * h2 - q) + q);
    plane->setNormalFromVectors(t1, t2);
    return 8;
}

int pushPlaneDrag(ViewCore& view, const Drag& d) {
    if (!view.planes().selected()) return 0;
    if (pushSelectedPlane(view, view.m_pCamera->getUnitView() * (-d.dy * d.sy))) view.requestRender(true);
    return 8;
}

int isoDrag(ViewCore& view, const Drag& d, int factor) {
    CVolume& volume = *view.m_pVolume;
    setIso(volume, isoHU(volume) + factor * limitStep(-d.dy));
    return 1;
}

int windowLevelDrag(ViewCore& view, ViewWindow& window, const Drag& d) {
    const CVolume& volume = *view.m_pVolume;
    const int width = std::clamp(static_cast<int>(volume.widthHU), 0, 5999);
    const int level = std::clamp(static_cast<int>(volume.levelHU), -kMaxHU, kMaxHU);
    view.applyWindowLevel(std::clamp(level + 10 * limitStep(d.dy), -kMaxHU, kMaxHU),
                          std::clamp(width + 10 * limitStep(d.dx), 0, 5999));
    QVUpdateTool(window.frameHandle(), 1);
    return 1;
}

int zoomDrag(ViewCore& view, const Drag& d) {
    view.m_pCamera->setZoom(view.m_pCamera->getZoom() + d.dy / 256.0f);
    return 1;
}

int moveRollDrag(ViewCore& view, const Drag& d) {
    Camera& camera = *view.m_pCamera;
    if (camera.perspective)
        placeCameraNear(view, camera.localRayOriginForPixel(0, 1, 0, 1) + camera.getUnitView() * (-d.dy * d.sy));
    if (!view.m_bNoTumble) camera.rotateAboutOwnAxis(3, -(d.dx * d.sx / d.width * 180.0f));
    return 2;
}

int shadeDrag(ViewCore& view, const Drag& d) {
    view.m_fDiffuse += -d.dy * 0.005f;
    if (view.m_fDiffuse > 1.0f) view.m_fDiffuse = 0.999f;
    if (view.m_fDiffuse < 0.0f) view.m_fDiffuse = 0.0f;
    view.m_fShine = std::clamp(view.m_fShine + d.dx / 5.0f, 1.0f, 50.0f);
    view.buildShadeTable();
    return 1;
}

int hueSatDrag(ViewCore& view, const Drag& d) {
    view.m_fSaturation = std::clamp(view.m_fSaturation - d.dy * 0.01f, 0.001f, 0.999f);
    view.m_fHue -= d.dx;
    if (view.m_fHue > 360.0f) view.m_fHue = 0.0f;
    if (view.m_fHue < 0.0f) view.m_fHue = 360.0f;
    view.buildShadeTable();
    return 1;
}

int segmentValueDrag(ViewCore& view, ViewWindow& window, const Drag& d) {
    switch (view.m_iRightTool) {
    case TOOL_SELECT_OBJECT:
        window.setCursorShape(CursorShape::SizeNS);
        return isoDrag(view, d, 1);
    case TOOL_SEG_RANGE:
        window.setCursorShape(CursorShape::SizeAll);
        view.m_iSegLow = std::clamp(view.m_iSegLow - static_cast<int>(d.dy), -kMaxHU, kMaxHU);
        view.m_iSegHigh = std::clamp(view.m_iSegHigh - static_cast<int>(d.dx), -kMaxHU, kMaxHU);
        view.m_iSegHigh = std::max(view.m_iSegHigh, view.m_iSegLow);
        return 1;
    default:  // TOOL_DENSITY_RANGE
        window.setCursorShape(CursorShape::SizeNS);
        view.m_iSegRad = std::clamp(view.m_iSegRad - static_cast<int>(d.dy), 1, 2000);
        return 1;
    }
}

int outlineDrag(ViewCore& view, const Drag& d) {
    if (view.m_bRoiClosed) return 0;
    if (!view.m_pCamera->perspective) view.repaint();
    const ClientPoint last = MouseAnchor::s_lastMouse;
    if (!view.isInsideImage(d.point) || !view.isInsideImage(last)) return 1;
    const ClientPoint px = view.clientToImage(d.point);
    const ClientPoint lastPx = view.clientToImage(last);
    // The arrays are fixed: a longer outline keeps its first points.
    const int n = view.m_iNumRoiPoints;
    if (px.x == lastPx.x || px.y == lastPx.y || n >= static_cast<int>(view.m_roiPoints.size())) return 1;
    view.m_roiScreenPoints[static_cast<size_t>(n)] = d.point;
    view.m_roiPoints[static_cast<size_t>(n)] =
        view.m_pCamera->rayOriginForPixel(px.x, view.m_iImageWidth, px.y, view.m_iImageHeight);
    ++view.m_iNumRoiPoints;
    view.repaint();
    return 1;
}

// Performs drag modes 1 to 14 (with control); the change mask.
int perform(ViewCore& view, ViewWindow& window, int mode, const Drag& d) {
    switch (mode) {
    case 1: window.hideCursor(); return orbitDrag(view, d);
    case 2: window.hideCursor(); return rotateDrag(view, d);
    case 3: window.hideCursor(); return panDrag(view, d);
    case 4: window.showCursor(); return cutLineDrag(view, d);
    case 5: window.hideCursor(); return turnPlaneDrag(view, d);
    case 6: window.hideCursor(); return pushPlaneDrag(view, d);
    case 10: window.hideCursor(); return moveRollDrag(view, d);
    case 13: window.showCursor(); return segmentValueDrag(view, window, d);
    case 14: window.showCursor(); return outlineDrag(view, d);
    default: break;
    }
    const CursorShape shape = (mode == 7 || mode == 9) ? CursorShape::SizeNS : CursorShape::SizeAll;
    window.showCursor();
    window.setCursorShape(shape);
    switch (mode) {
    case 7: return isoDrag(view, d, 5);
    case 8: return windowLevelDrag(view, window, d);
    case 9: return zoomDrag(view, d);
    case 11: return shadeDrag(view, d);
    case 12: return hueSatDrag(view, d);
    default: return 0;
    }
}

void anchorAt(ViewWindow& window, ClientPoint point) {
    MouseAnchor::s_lastMouse = MouseAnchor::s_anchorMouse = point;
    MouseAnchor::s_anchorScreen = window.cursorScreenPosition();
}

}  // namespace

int chooseDragMode(const ViewCore& view, int flags) {
    const bool left = (flags & MOUSE_LEFT) != 0;
    const bool right = (flags & MOUSE_RIGHT) != 0;
    if (flags & MOUSE_MIDDLE) return view.m_iDragMode;
    if (left && right) {
        if (view.m_iRightTool == TOOL_CUT_MOVE) return 6;
        return view.m_pCamera && view.m_pCamera->perspective ? 10 : 9;
    }
    if (left) return leftDragMode(view.m_iCameraTool, (flags & MOUSE_SHIFT) != 0, (flags & MOUSE_CTRL) != 0);
    if (right) {
        const int mode = rightDragMode(view.m_iRightTool);
        return mode ? mode : view.m_iDragMode;
    }
    return 0;
}

int mouseMove(ViewCore& view, ViewWindow& window, ClientPoint point, int flags) {
    if (view.m_bAnchorReset) {
        anchorAt(window, point);
        view.m_bAnchorReset = false;
        view.m_iDragMode = 0;
        return 0;
    }
    view.m_mousePoint = point;
    if (view.m_iDragMode == 0) window.setCursorShape(view.isInsideImage(point) ? CursorShape::Cross : CursorShape::Arrow);
    const int w = window.clientWidth();
    const int h = window.clientHeight();
    if (point.x < kEdgeMargin || point.y < kEdgeMargin || point.x >= w - kEdgeMargin || point.y >= h - kEdgeMargin) {
        // Near the edge a warp could leave the window: the drag lets go.
        window.showCursor();
        view.m_iDragMode = 0;
        MouseAnchor::s_lastMouse = MouseAnchor::s_anchorMouse = point;
        return 16;
    }
    view.m_iDragMode = chooseDragMode(view, flags);
    const int mode = view.m_iDragMode;
    Drag d;
    d.point = point;
    d.dx = static_cast<float>(point.x - MouseAnchor::s_lastMouse.x);
    d.dy = static_cast<float>(point.y - MouseAnchor::s_lastMouse.y);
    d.width = static_cast<float>(std::max(w, 1));
    d.height = static_cast<float>(std::max(h, 1));
    d.sx = view.m_fMouseSpeedX / 100.0f;
    d.sy = view.m_fMouseSpeedY / 100.0f;
    d.inv = static_cast<float>(view.m_iInvertMouse);

    int mask = 0;
    if (mode == 0) {
        window.showCursor();
        mask = hover(view, d);
    } else if (hasControl() && view.m_pCamera && view.m_pVolume) {
        mask = perform(view, window, mode, d);
    }
    if (isWarping(mode)) {
        // A warping mode that did not act leaves the anchor for the next move.
        if (mask == 0) return 0;
        view.requestRender(true);
        const ClientPoint anchor = MouseAnchor::s_anchorMouse;
        if (std::abs(point.x - anchor.x) > kWarpDistance || std::abs(point.y - anchor.y) > kWarpDistance) {
            window.warpCursor(MouseAnchor::s_anchorScreen);
            MouseAnchor::s_lastMouse = anchor;
        } else {
            MouseAnchor::s_lastMouse = point;
        }
        return mask;
    }
    if (mode == 7 || mode == 8 || mode == 9 || mode == 11 || mode == 12 || mode == 13) {
        if (mask) view.requestRender(true);
    }
    anchorAt(window, point);
    return mask;
}
