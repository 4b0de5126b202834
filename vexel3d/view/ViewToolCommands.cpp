#include "view/ViewToolCommands.h"

#include "view/ViewCommands.h"
#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "view/ViewTools.h"

namespace v3d {


namespace {

// A right tool of the image-adjustment or selection group.
int chooseRightTool(ViewCore& view, int group, int tool) {
    view.m_bCutPlaneMode = false;
    view.m_iToolGroup = group;
    view.m_iRightTool = tool;
    view.m_iDragMode = DRAG_NONE;
    view.repaint();
    return CHANGE_CONTROL;
}

// The move tool on the selected plane (plane 0 when none was selected).
void chooseCutMove(ViewCore& view) {
    view.m_iToolGroup = GROUP_CUT_PLANES;
    view.m_bCutPlaneMode = true;
    view.m_iRightTool = TOOL_CUT_MOVE;
    if (view.planes().m_iSelectedCutPlane < 0) view.selectCutPlane(0);
}

int chooseCameraTool(ViewCore& view, int tool) {
    view.m_iCameraTool = tool;
    view.m_iDragMode = DRAG_NONE;
    view.repaint();
    return CHANGE_CONTROL;
}

int chooseRenderMode(ViewCore& view, int mode) {
    view.m_iDragMode = DRAG_NONE;
    view.setRenderMode(mode);
    return CHANGE_CAMERA;
}

int chooseProjection(ViewCore& view, bool perspective) {
    if (view.m_pCamera) {
        Camera& camera = view.changeCamera();
        camera.perspective = perspective;
        camera.updateCornerRays();
    }
    view.m_iDragMode = DRAG_NONE;
    view.requestRender(true);
    return CHANGE_CAMERA;
}

// mask 3 for the reference-frame menu commands, 2 for "Reset view".
int chooseReferenceFrame(ViewCore& view, int frame, int mask) {
    view.applyReferenceFrame(frame);
    if (mask == CHANGE_CAMERA_VECTORS) view.m_iDragMode = DRAG_NONE;
    view.requestRender(true);
    return mask;
}

int cutPlaneCommand(ViewCore& view, int command) {
    const CutPlaneSet& planes = view.planes();
    switch (command) {
    case ID_CREATE_CUTPLANE:
        view.m_iToolGroup = GROUP_CUT_PLANES;
        view.m_bCutPlaneMode = true;
        view.m_iRightTool = TOOL_CUT_CREATE;
        view.selectCutPlane(-1);
        view.repaint();
        return CHANGE_CUT_PLANES | CHANGE_CONTROL;
    case ID_DELETE_CUTPLANE:
        view.m_iToolGroup = GROUP_CUT_PLANES;
        view.m_bCutPlaneMode = true;
        view.deleteSelectedCutPlane();
        if (planes.m_iNumCutPlanes == 0) view.m_iRightTool = TOOL_CUT_CREATE;
        view.requestRender(true);
        return CHANGE_CUT_PLANES | CHANGE_CONTROL;
    case ID_MOVE_CUTPLANE:
        if (planes.m_iNumCutPlanes == 0) return 0;
        chooseCutMove(view);
        view.repaint();
        return CHANGE_CUT_PLANES | CHANGE_CONTROL;
    case ID_SELECT_CUTPLANE:
        if (planes.m_iNumCutPlanes == 0) return 0;
        // From none (-1) the next is plane 0.
        view.selectCutPlane((planes.m_iSelectedCutPlane + 1) % planes.m_iNumCutPlanes);
        chooseCutMove(view);
        view.repaint();
        return CHANGE_CUT_PLANES | CHANGE_CONTROL;
    default:  // ID_RESET_CUTPLANES
        view.changePlanes().resetCutPlanes();
        view.m_iDragMode = DRAG_NONE;
        view.requestRender(true);
        return CHANGE_CUT_PLANES | CHANGE_CONTROL;
    }
}

int resetShading(ViewCore& view) {
    view.m_fHue = 220.0f;
    view.m_fSaturation = 0.5f;
    view.m_fDiffuse = 0.4f;
    view.m_fShine = 30.0f;
    view.buildShadeTable();
    view.m_iDragMode = DRAG_NONE;
    view.requestRender(true);
    return CHANGE_CAMERA | CHANGE_CAMERA_VECTORS;
}

int resetSegmentation(ViewCore& view) {
    resetViewSegmentation(view);
    view.m_iDragMode = DRAG_NONE;
    view.requestRender(true);
    return CHANGE_SEGMENTATION;
}

}  // namespace

bool toolCommandState(ViewCore& view, int command, CommandState& state) {
    const bool ready = viewIsReady(view);
    const int tool = view.m_iRightTool;
    const int group = view.m_iToolGroup;
    const CutPlaneSet& planes = view.planes();
    const bool parallel = !(view.m_pCamera && view.m_pCamera->perspective);
    if (const RendererKind* renderer = rendererOfCommand(command)) {
        state.enabled = ready;
        state.checked = ready && view.m_iRenderMode == renderer->mode;
        return true;
    }
    bool enabled = ready;
    bool checked = false;
    switch (command) {
    case ID_PARALLEL: checked = parallel; break;
    case ID_PERSPECTIVE: checked = !parallel; break;
    case CMD_ANTERIOR: checked = view.m_iReferenceFrame == 0; break;
    case CMD_CAUDAL: checked = view.m_iReferenceFrame == 1; break;
    case ID_RESET_VIEW: break;
    case ID_ORBIT_CAMERA: checked = view.m_iCameraTool == TOOL_ORBIT; break;
    case ID_ROTATE_CAMERA: checked = view.m_iCameraTool == TOOL_ROTATE; break;
    case ID_STRAFE_CAMERA: checked = view.m_iCameraTool == TOOL_STRAFE; break;
    case ID_MOVE_ROLL_CAMERA: checked = view.m_iCameraTool == TOOL_MOVE_ROLL; break;
    case ID_ISOVALUE: checked = group == 0 && tool == TOOL_ISOVALUE; break;
    case ID_WINDOW_LEVEL: checked = group == 0 && tool == TOOL_WINDOW_LEVEL; break;
    case ID_HUE_SATURATION: checked = group == 0 && tool == TOOL_HUE_SAT; break;
    case ID_SHADE: checked = group == 0 && tool == TOOL_SHADE; break;
    case ID_CREATE_CUTPLANE: checked = group == 1 && tool == TOOL_CUT_CREATE; break;
    case ID_DELETE_CUTPLANE: enabled = ready && planes.selected() != nullptr; break;
    case ID_MOVE_CUTPLANE:
        enabled = ready && planes.m_iNumCutPlanes > 0;
        checked = group == 1 && tool == TOOL_CUT_MOVE;
        break;
    case ID_SELECT_CUTPLANE: enabled = ready && planes.m_iNumCutPlanes > 0; break;
    case ID_SELECT_OBJECT: checked = group == 2 && tool == TOOL_SELECT_OBJECT; break;
    case ID_SELECT_ROI:
        enabled = ready && parallel;
        checked = group == 2 && tool == TOOL_ROI;
        break;
    case ID_SELECT_DENSITY: checked = group == 2 && tool == TOOL_DENSITY_RANGE; break;
    case ID_RESET_CUTPLANES:
    case ID_RESET_SEGMENTATION:
    case ID_RESET_SHADING:
    case ID_CAPTURE: break;
    default: return false;
    }
    state.enabled = enabled;
    state.checked = ready && checked;
    return true;
}

int runToolCommand(ViewCore& view, int command) {
    if (const RendererKind* renderer = rendererOfCommand(command)) return chooseRenderMode(view, renderer->mode);
    switch (command) {
    case ID_PARALLEL: return chooseProjection(view, false);
    case ID_PERSPECTIVE: return chooseProjection(view, true);
    // The switch moves the camera too: a late joiner's merged state would
    // otherwise hold the pose from before it, applied after the frame line.
    case CMD_ANTERIOR: return chooseReferenceFrame(view, 0, CHANGE_CAMERA | CHANGE_CAMERA_VECTORS);
    case CMD_CAUDAL: return chooseReferenceFrame(view, 1, CHANGE_CAMERA | CHANGE_CAMERA_VECTORS);
    case ID_RESET_VIEW: return chooseReferenceFrame(view, view.m_iReferenceFrame, 2);
    case ID_ORBIT_CAMERA: return chooseCameraTool(view, TOOL_ORBIT);
    case ID_ROTATE_CAMERA: return chooseCameraTool(view, TOOL_ROTATE);
    case ID_STRAFE_CAMERA: return chooseCameraTool(view, TOOL_STRAFE);
    case ID_MOVE_ROLL_CAMERA: return chooseCameraTool(view, TOOL_MOVE_ROLL);
    case ID_ISOVALUE: return chooseRightTool(view, 0, TOOL_ISOVALUE);
    case ID_WINDOW_LEVEL: return chooseRightTool(view, 0, TOOL_WINDOW_LEVEL);
    case ID_HUE_SATURATION: return chooseRightTool(view, 0, TOOL_HUE_SAT);
    case ID_SHADE: return chooseRightTool(view, 0, TOOL_SHADE);
    case ID_SELECT_OBJECT: return chooseRightTool(view, 2, TOOL_SELECT_OBJECT);
    case ID_SELECT_ROI: return chooseRightTool(view, 2, TOOL_ROI);
    case ID_SELECT_DENSITY: return chooseRightTool(view, 2, TOOL_DENSITY_RANGE);
    case ID_CREATE_CUTPLANE:
    case ID_DELETE_CUTPLANE:
    case ID_MOVE_CUTPLANE:
    case ID_SELECT_CUTPLANE:
    case ID_RESET_CUTPLANES: return cutPlaneCommand(view, command);
    case ID_RESET_SEGMENTATION: return resetSegmentation(view);
    case ID_RESET_SHADING: return resetShading(view);
    case ID_CAPTURE:
        // The window runs the export dialog after this.
        view.m_iDragMode = DRAG_NONE;
        return 0;
    default: return -1;
    }
}

}  // namespace v3d
