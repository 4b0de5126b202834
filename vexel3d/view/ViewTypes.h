#pragma once
// Tool identifiers and render modes of the 3D view.

enum Tool : int {
    TOOL_ORBIT = 0,
    TOOL_ROTATE = 1,
    TOOL_STRAFE = 2,
    TOOL_HUE_SAT = 3,
    TOOL_SHADE = 4,
    TOOL_CUT_CREATE = 5,
    TOOL_CUT_MOVE = 6,
    TOOL_SELECT_OBJECT = 7,
    TOOL_SEG_RANGE = 8,
    TOOL_DENSITY_RANGE = 9,
    TOOL_ROI = 10,
    TOOL_MOVE_ROLL = 11,
    TOOL_ISOVALUE = 12,
    TOOL_WINDOW_LEVEL = 13,
};

enum RenderMode : int {
    RENDER_SSD = 0,
    RENDER_MIP = 1,
    RENDER_OPQ = 2,
};
