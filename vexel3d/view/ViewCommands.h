#pragma once
// Command identifiers of the 3D view: toolbar buttons and context menu.

namespace v3d {

// Tool and view commands of the 3D window (toolbar buttons, context menu).
enum ViewCommand : int {
    ID_ROTATE_CAMERA = 32774,
    ID_ORBIT_CAMERA = 32775,
    ID_STRAFE_CAMERA = 32776,
    ID_CREATE_CUTPLANE = 32777,
    ID_SELECT_CUTPLANE = 32778,
    ID_HUE_SATURATION = 32779,
    ID_SHADE = 32780,
    ID_MOVE_CUTPLANE = 32781,
    ID_DELETE_CUTPLANE = 32782,
    ID_SELECT_OBJECT = 32784,
    ID_SELECT_ROI = 32786,
    ID_SELECT_DENSITY = 32788,
    ID_RESET_VIEW = 32789,
    ID_RESET_CUTPLANES = 32790,
    ID_RESET_SEGMENTATION = 32791,
    ID_RESET_SHADING = 32793,
    ID_RENDER_MIP = 32795,
    ID_RENDER_SSD = 32796,
    ID_RENDER_OPQ = 32797,
    ID_PARALLEL = 32798,
    ID_PERSPECTIVE = 32799,
    ID_CAPTURE = 32800,
    ID_ISOVALUE = 32807,
    ID_MOVE_ROLL_CAMERA = 32808,
    ID_WINDOW_LEVEL = 32810,
    ID_TOOLBAR_MAIN = 32812,
    ID_TOOLBAR_CUTPLANE = 32813,
    ID_TOOLBAR_SEGMENTATION = 32814,
    ID_TOOLBAR_RESET = 32815,
    ID_TOOLBAR_CAMERA = 32816,
};

// Context-menu commands of the view.
enum ViewMenuCommand : int {
    CMD_ANTERIOR = 5016,
    CMD_REMEMBER_PRESET = 5019,
    CMD_CAUDAL = 5099,
    CMD_APPLY_PRESET = 6000,   // + preset index
    CMD_DELETE_PRESET = 7000,  // + preset index
};

}  // namespace v3d
