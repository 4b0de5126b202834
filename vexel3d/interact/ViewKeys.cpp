// The keys of the view: rendering tune-ups and camera navigation.
#include "render/Camera.h"
#include "view/ViewCore.h"
#include "view/ViewTools.h"
#include "interact/ViewInput.h"
#include "volume/CVolume.h"

#include <algorithm>

namespace v3d {

namespace {

// Image sizes step down by 16 and wrap from 32 back to 256.
int nextImageSize(int size) {
    const int next = size - 16;
    return next == 16 ? 256 : next;
}

int arrowKey(ViewCore& view, int key, float n, int flags) {
    const Vec3 c = view.m_pVolume->center();
    const float inv = static_cast<float>(view.m_prefs.invertMouse);
    const bool ctrl = (flags & MOUSE_CTRL) != 0;
    const bool shift = (flags & MOUSE_SHIFT) != 0;
    // Left/right work on axis 1, up/down on axis 2; dir is the key's sense.
    const bool horizontal = key == KEY_LEFT || key == KEY_RIGHT;
    const int axis = horizontal ? AXIS_FIRST : AXIS_SECOND;
    const float dir = (key == KEY_RIGHT || key == KEY_DOWN) ? 1.0f : -1.0f;
    const float flip = horizontal ? 1.0f : inv;
    if (ctrl)
        turnCamera(view, axis, (horizontal ? -dir : dir) * 6.0f * n * flip);
    else if (shift)
        view.changeCamera().orbit(axis, (horizontal ? dir : -dir) * 6.0f * n * flip, c, view.m_prefs.noTumble);
    else
        view.changeCamera().moveAlongAxis(axis, dir * 10.0f * n * flip);
    return CHANGE_CAMERA_VECTORS;
}

}  // namespace

bool diagnosticKey(ViewCore& view, int key) {
    switch (key) {
    case KEY_SPACE:
        view.m_iDragMode = DRAG_NONE;
        view.m_iNumRoiPoints = 0;
        view.m_bRoiClosed = true;
        break;
    case KEY_S:
        view.m_iInterpolationLimit /= 2;
        if (view.m_iInterpolationLimit == 0) view.m_iInterpolationLimit = view.m_iCoarseStep;
        break;
    case KEY_T:
        view.m_iCoarseStep /= 2;
        if (view.m_iCoarseStep == 0) view.m_iCoarseStep = 16;
        view.m_iInterpolationLimit = std::min(view.m_iInterpolationLimit, view.m_iCoarseStep);
        break;
    case KEY_W:
        if (view.m_iDiagnosticDisplay <= 0) return true;
        view.m_iDiagnosticBuffer = (view.m_iDiagnosticBuffer + 1) % 4;
        break;
    case KEY_X: view.m_iImageWidth = nextImageSize(view.m_iImageWidth); break;
    case KEY_Y: view.m_iImageHeight = nextImageSize(view.m_iImageHeight); break;
    case KEY_Z: view.m_iDiagnosticDisplay = -view.m_iDiagnosticDisplay; break;
    default: return false;
    }
    view.requestRender(true);
    return true;
}

int navigationKey(ViewCore& view, int key, unsigned repeat, int flags) {
    if (!view.m_pCamera || !view.m_pVolume) return 0;
    const Camera& camera = *view.m_pCamera;
    // The repeat count is a count: the key's direction gives the sign.
    const float n = static_cast<float>(repeat);
    int mask = 0;
    switch (key) {
    case KEY_PAGE_UP:
    case KEY_PAGE_DOWN:
        view.changeCamera().setZoom(camera.getZoom() + (key == KEY_PAGE_UP ? 10.0f : -10.0f) / 256.0f);
        mask = CHANGE_CAMERA;
        break;
    case KEY_END:
        view.applyReferenceFrame(view.m_iReferenceFrame);
        mask = CHANGE_CAMERA_VECTORS;
        break;
    case KEY_HOME: {
        const Vec3 toCentre = view.m_pVolume->center() - camera.localRayOriginForPixel(0, 1, 0, 1);
        // At the centre there is no direction to look along.
        if (length(toCentre) > 0.0f) view.changeCamera().lookAlong(normalised(toCentre));
        mask = CHANGE_CAMERA_VECTORS;
        break;
    }
    case KEY_UP:
    case KEY_DOWN:
        if (view.m_iRightTool == TOOL_CUT_MOVE) {
            const CutPlane* plane = view.planes().selected();
            if (!plane) return 0;
            pushSelectedPlane(view, plane->normal * (key == KEY_UP ? -5.0f : 5.0f));
            mask = CHANGE_CUT_PLANES;
            break;
        }
        mask = arrowKey(view, key, n, flags);
        break;
    case KEY_LEFT:
    case KEY_RIGHT: mask = arrowKey(view, key, n, flags); break;
    default: return 0;
    }
    view.requestRender(true);
    return mask;
}

}  // namespace v3d
