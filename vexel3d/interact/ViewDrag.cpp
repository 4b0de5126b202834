#include "interact/ViewDrag.h"

#include "render/Camera.h"
#include "render/math/Mat3.h"
#include "wire/NumberText.h"
#include "render/RenderWorkspace.h"
#include "interact/MouseAnchor.h"
#include "view/ViewCore.h"
#include "view/ViewTools.h"
#include "interact/ViewInput.h"
#include "interact/ViewWindow.h"
#include "volume/CVolume.h"


#include <algorithm>
#include <cstdlib>

namespace v3d {

namespace {

constexpr int kEdgeMargin = 10;
constexpr int kWarpDistance = 50;
constexpr int kMaxHU = CVolume::kMaxHU;

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

bool isWarping(int mode) {
    return mode == DRAG_ORBIT || mode == DRAG_ROTATE || mode == DRAG_PAN || mode == DRAG_TURN_PLANE ||
           mode == DRAG_PUSH_PLANE || mode == DRAG_MOVE_ROLL;
}

int leftDragMode(int cameraTool, bool shift, bool ctrl) {
    if (shift && ctrl) return DRAG_ZOOM;
    switch (cameraTool) {
    case TOOL_ROTATE: return shift ? DRAG_ORBIT : ctrl ? DRAG_PAN : DRAG_ROTATE;
    case TOOL_STRAFE: return shift ? DRAG_ORBIT : ctrl ? DRAG_ROTATE : DRAG_PAN;
    case TOOL_MOVE_ROLL: return shift ? DRAG_ORBIT : ctrl ? DRAG_PAN : DRAG_MOVE_ROLL;
    default: return shift ? DRAG_ROTATE : ctrl ? DRAG_PAN : DRAG_ORBIT;
    }
}

// 0 for a right tool that drags nothing (the middle-button values 0..2).
int rightDragMode(int rightTool) {
    switch (rightTool) {
    case TOOL_CUT_CREATE: return DRAG_CUT_LINE;
    case TOOL_CUT_MOVE: return DRAG_TURN_PLANE;
    case TOOL_ISOVALUE: return DRAG_ISOVALUE;
    case TOOL_WINDOW_LEVEL: return DRAG_WINDOW_LEVEL;
    case TOOL_SHADE: return DRAG_SHADE;
    case TOOL_HUE_SAT: return DRAG_HUE_SAT;
    case TOOL_SELECT_OBJECT:
    case TOOL_SEG_RANGE:
    case TOOL_DENSITY_RANGE: return DRAG_SEGMENT_VALUE;
    case TOOL_ROI: return DRAG_OUTLINE;
    default: return 0;
    }
}

int limitStep(float d) { return std::clamp(static_cast<int>(d), -15, 15); }

int isoHU(const CVolume& volume) { return std::clamp(volume.storedToHU(volume.isoStored), -kMaxHU, kMaxHU); }


int hover(ViewCore& view, const Drag& drag) {
    CRaycaster* renderer = view.currentRenderer();
    if (!renderer || !renderer->hasImage || !view.m_pVolume) return 0;
    // A value found is reported; so is its loss, or peers would go on
    // showing the last one.
    int mask = view.m_iProbeHU != kNoProbeValue ? CHANGE_PROBE : 0;
    view.m_iProbeHU = kNoProbeValue;
    if (view.isInsideImage(drag.point)) {
        const ClientPoint px = view.clientToImage(drag.point);
        const int i = RenderWorkspace::wide(px.x, px.y);
        // While the background pass runs it casts the pixel itself.
        if (view.m_workspace->done[i] == 0 && renderer->retraceWhenIdle(px.x, px.y)) view.composeImage();
        const int v = view.m_workspace->value[i];
        if (v >= 0) {
            view.m_iProbeHU = view.m_pVolume->storedToHU(v);
            mask = CHANGE_PROBE;
        }
    }
    view.repaint();
    return mask;
}

int orbitDrag(ViewCore& view, const Drag& d) {
    const float a = d.dx * d.sx / d.width * 360.0f;
    const float b = d.dy * d.sy / d.height * 360.0f * d.inv;
    const Vec3 c = view.m_pVolume->center();
    Camera& camera = view.changeCamera();
    camera.orbit(AXIS_FIRST, a, c, view.m_prefs.noTumble);
    camera.orbit(AXIS_SECOND, -b, c, view.m_prefs.noTumble);
    return CHANGE_CAMERA_VECTORS;
}

int rotateDrag(ViewCore& view, const Drag& d) {
    turnCamera(view, AXIS_FIRST, -(d.dx * d.sx / d.width * 180.0f));
    turnCamera(view, AXIS_SECOND, d.dy * d.sy / d.height * 180.0f * d.inv);
    return CHANGE_CAMERA_VECTORS;
}

int panDrag(ViewCore& view, const Drag& d) {
    Camera& camera = view.changeCamera();
    // The horizontal distance takes the vertical speed and vice versa.
    const float h = -d.dx * d.sy;
    const float v = -d.dy * d.sx * d.inv;
    const Vec3 before = camera.position;
    camera.moveAlongAxis(AXIS_FIRST, -h);
    camera.moveAlongAxis(AXIS_SECOND, -v);
    const Vec3 c = view.m_pVolume->center();
    if (!(length(camera.localRayOriginForPixel(0, 1, 0, 1) - c) < 2.5f * halfDiagonal(view)))
        camera.setPosition(before);
    return CHANGE_CAMERA_VECTORS;
}

int cutLineDrag(ViewCore& view, const Drag& d) {
    const ClientPoint none{-1, -1};
    if (view.isInsideImage(d.point) && view.isInsideImage(view.m_pressPoint)) {
        view.m_cutLineEnd = d.point;
        view.m_cutLineStart = view.m_pressPoint;
    } else {
        view.m_cutLineStart = view.m_cutLineEnd = none;
        view.m_iDragMode = DRAG_NONE;
    }
    const int lx = view.m_cutLineEnd.x - view.m_cutLineStart.x;
    const int ly = view.m_cutLineEnd.y - view.m_cutLineStart.y;
    if (lx * lx + ly * ly < 900) {
        view.m_cutLineStart = view.m_cutLineEnd = none;
        view.m_iDragMode = DRAG_NONE;
    }
    view.repaint();
    return 0;
}

int turnPlaneDrag(ViewCore& view, const Drag& d) {
    if (!view.planes().selected()) return 0;
    CutPlane* plane = view.changePlanes().selected();
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
    return CHANGE_CUT_PLANES;
}

int pushPlaneDrag(ViewCore& view, const Drag& d) {
    if (!view.planes().selected()) return 0;
    if (pushSelectedPlane(view, view.m_pCamera->getUnitView() * (-d.dy * d.sy))) view.requestRender(true);
    return CHANGE_CUT_PLANES;
}

int isoDrag(ViewCore& view, const Drag& d, int factor) {
    const int iso = isoHU(*view.m_pVolume) + factor * limitStep(-d.dy);
    view.changeVolume().setIsoValue(iso);
    return CHANGE_CAMERA;
}

int windowLevelDrag(ViewCore& view, const Drag& d) {
    const CVolume& volume = *view.m_pVolume;
    const int width = std::clamp(static_cast<int>(volume.widthHU), 0, CVolume::kMaxWidthHU);
    const int level = std::clamp(static_cast<int>(volume.levelHU), -kMaxHU, kMaxHU);
    view.applyWindowLevel(std::clamp(level + 10 * limitStep(d.dy), -kMaxHU, kMaxHU),
                          std::clamp(width + 10 * limitStep(d.dx), 0, CVolume::kMaxWidthHU));
    view.services().windowLevelChanged();
    return CHANGE_CAMERA;
}

int zoomDrag(ViewCore& view, const Drag& d) {
    Camera& camera = view.changeCamera();
    camera.setZoom(camera.getZoom() + d.dy / 256.0f);
    return CHANGE_CAMERA;
}

int moveRollDrag(ViewCore& view, const Drag& d) {
    const Camera& camera = *view.m_pCamera;
    if (camera.perspective)
        placeCameraNear(view, camera.localRayOriginForPixel(0, 1, 0, 1) + camera.getUnitView() * (-d.dy * d.sy));
    if (!view.m_prefs.noTumble) view.changeCamera().rotateAboutOwnAxis(AXIS_VIEW, -(d.dx * d.sx / d.width * 180.0f));
    return CHANGE_CAMERA_VECTORS;
}

int shadeDrag(ViewCore& view, const Drag& d) {
    view.m_fDiffuse += -d.dy * 0.005f;
    if (view.m_fDiffuse > 1.0f) view.m_fDiffuse = kMaxDiffuse;
    if (view.m_fDiffuse < 0.0f) view.m_fDiffuse = 0.0f;
    view.m_fShine = std::clamp(view.m_fShine + d.dx / 5.0f, kMinShine, kMaxShine);
    // Kept as the camera line carries them: a saved or shared view colours alike.
    view.m_fDiffuse = sixDecimalValue(view.m_fDiffuse);
    view.m_fShine = sixDecimalValue(view.m_fShine);
    view.buildShadeTable();
    return CHANGE_CAMERA;
}

int hueSatDrag(ViewCore& view, const Drag& d) {
    view.m_fSaturation = std::clamp(view.m_fSaturation - d.dy * 0.01f, kMinSaturation, kMaxSaturation);
    view.m_fHue -= d.dx;
    if (view.m_fHue > kMaxHue) view.m_fHue = 0.0f;
    if (view.m_fHue < 0.0f) view.m_fHue = kMaxHue;
    view.m_fSaturation = sixDecimalValue(view.m_fSaturation);
    view.m_fHue = sixDecimalValue(view.m_fHue);
    view.buildShadeTable();
    return CHANGE_CAMERA;
}

int segmentValueDrag(ViewCore& view, ViewWindow& window, const Drag& d) {
    switch (view.m_iRightTool) {
    case TOOL_SELECT_OBJECT:
        window.setCursorShape(CursorShape::SizeNS);
        return isoDrag(view, d, 1);
    case TOOL_SEG_RANGE:
        window.setCursorShape(CursorShape::SizeAll);
        view.m_prefs.segLow = std::clamp(view.m_prefs.segLow - static_cast<int>(d.dy), -kMaxHU, kMaxHU);
        view.m_prefs.segHigh = std::clamp(view.m_prefs.segHigh - static_cast<int>(d.dx), -kMaxHU, kMaxHU);
        view.m_prefs.segHigh = std::max(view.m_prefs.segHigh, view.m_prefs.segLow);
        return CHANGE_CAMERA;
    default:  // TOOL_DENSITY_RANGE
        window.setCursorShape(CursorShape::SizeNS);
        view.m_prefs.segRad = std::clamp(view.m_prefs.segRad - static_cast<int>(d.dy), kMinSegRadius, kMaxSegRadius);
        return CHANGE_CAMERA;
    }
}

int outlineDrag(ViewCore& view, const Drag& d) {
    if (view.m_bRoiClosed) return 0;
    if (!view.m_pCamera->perspective) view.repaint();
    const ClientPoint last = MouseAnchor::s_lastMouse;
    if (!view.isInsideImage(d.point) || !view.isInsideImage(last)) return CHANGE_CAMERA;
    const ClientPoint px = view.clientToImage(d.point);
    const ClientPoint lastPx = view.clientToImage(last);
    // The arrays are fixed: a longer outline keeps its first points.
    const int n = view.m_iNumRoiPoints;
    if (px.x == lastPx.x || px.y == lastPx.y || n >= static_cast<int>(view.m_roiPoints.size())) return CHANGE_CAMERA;
    view.m_roiScreenPoints[static_cast<size_t>(n)] = d.point;
    view.m_roiPoints[static_cast<size_t>(n)] =
        view.m_pCamera->rayOriginForPixel(px.x, view.m_iImageWidth, px.y, view.m_iImageHeight);
    ++view.m_iNumRoiPoints;
    view.repaint();
    return CHANGE_CAMERA;
}

// Performs drag modes 1 to 14 (with control); the change mask.
int perform(ViewCore& view, ViewWindow& window, int mode, const Drag& d) {
    switch (mode) {
    case DRAG_ORBIT: window.hideCursor(); return orbitDrag(view, d);
    case DRAG_ROTATE: window.hideCursor(); return rotateDrag(view, d);
    case DRAG_PAN: window.hideCursor(); return panDrag(view, d);
    case DRAG_CUT_LINE: window.showCursor(); return cutLineDrag(view, d);
    case DRAG_TURN_PLANE: window.hideCursor(); return turnPlaneDrag(view, d);
    case DRAG_PUSH_PLANE: window.hideCursor(); return pushPlaneDrag(view, d);
    case DRAG_MOVE_ROLL: window.hideCursor(); return moveRollDrag(view, d);
    case DRAG_SEGMENT_VALUE: window.showCursor(); return segmentValueDrag(view, window, d);
    case DRAG_OUTLINE: window.showCursor(); return outlineDrag(view, d);
    default: break;
    }
    const CursorShape shape = (mode == DRAG_ISOVALUE || mode == DRAG_ZOOM) ? CursorShape::SizeNS : CursorShape::SizeAll;
    window.showCursor();
    window.setCursorShape(shape);
    switch (mode) {
    case DRAG_ISOVALUE: return isoDrag(view, d, 5);
    case DRAG_WINDOW_LEVEL: return windowLevelDrag(view, d);
    case DRAG_ZOOM: return zoomDrag(view, d);
    case DRAG_SHADE: return shadeDrag(view, d);
    case DRAG_HUE_SAT: return hueSatDrag(view, d);
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
        if (view.m_iRightTool == TOOL_CUT_MOVE) return DRAG_PUSH_PLANE;
        return view.m_pCamera && view.m_pCamera->perspective ? DRAG_MOVE_ROLL : DRAG_ZOOM;
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
        view.m_iDragMode = DRAG_NONE;
        return 0;
    }
    view.m_mousePoint = point;
    if (view.m_iDragMode == DRAG_NONE) window.setCursorShape(view.isInsideImage(point) ? CursorShape::Cross : CursorShape::Arrow);
    const int w = window.clientWidth();
    const int h = window.clientHeight();
    if (point.x < kEdgeMargin || point.y < kEdgeMargin || point.x >= w - kEdgeMargin || point.y >= h - kEdgeMargin) {
        // Near the edge a warp could leave the window: the drag lets go.
        window.showCursor();
        view.m_iDragMode = DRAG_NONE;
        MouseAnchor::s_lastMouse = MouseAnchor::s_anchorMouse = point;
        return CHANGE_CONTROL;
    }
    view.m_iDragMode = chooseDragMode(view, flags);
    const int mode = view.m_iDragMode;
    Drag d;
    d.point = point;
    d.dx = static_cast<float>(point.x - MouseAnchor::s_lastMouse.x);
    d.dy = static_cast<float>(point.y - MouseAnchor::s_lastMouse.y);
    d.width = static_cast<float>(std::max(w, 1));
    d.height = static_cast<float>(std::max(h, 1));
    d.sx = view.m_prefs.mouseSpeedX / 100.0f;
    d.sy = view.m_prefs.mouseSpeedY / 100.0f;
    d.inv = static_cast<float>(view.m_prefs.invertMouse);

    int mask = 0;
    if (mode == DRAG_NONE) {
        window.showCursor();
        mask = hover(view, d);
    } else if (hasControl(view) && view.m_pCamera && view.m_pVolume) {
        mask = perform(view, window, mode, d);
    }
    if (isWarping(mode)) {
        // A warping mode that did not act leaves the anchor for the next move.
        if (mask == 0) return 0;
        view.requestRender(true);
        const ClientPoint anchor = MouseAnchor::s_anchorMouse;
        if (std::abs(point.x - anchor.x) > kWarpDistance || std::abs(point.y - anchor.y) > kWarpDistance) {
            window.warpCursor(MouseAnchor::s_anchorScreen);
            // Where the cursor really is: some platforms ignore the warp, and
            // measuring the next move from the anchor would then run away.
            const ClientPoint now = window.cursorScreenPosition();
            MouseAnchor::s_lastMouse = {anchor.x + now.x - MouseAnchor::s_anchorScreen.x,
                                        anchor.y + now.y - MouseAnchor::s_anchorScreen.y};
        } else {
            MouseAnchor::s_lastMouse = point;
        }
        return mask;
    }
    if (mode == DRAG_ISOVALUE || mode == DRAG_WINDOW_LEVEL || mode == DRAG_ZOOM || mode == DRAG_SHADE ||
        mode == DRAG_HUE_SAT || mode == DRAG_SEGMENT_VALUE) {
        if (mask) view.requestRender(true);
    }
    anchorAt(window, point);
    return mask;
}

}  // namespace v3d
