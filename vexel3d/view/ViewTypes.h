#pragma once
// Tool identifiers, tool groups, drag modes, change masks
// and the view's sentinels.

namespace v3d {

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

// Group of the right-button tool.
enum ToolGroup : int {
    GROUP_IMAGE = 0,
    GROUP_CUT_PLANES = 1,
    GROUP_SELECTION = 2,
};

// What the current mouse drag does.
enum DragMode : int {
    DRAG_NONE = 0,
    DRAG_ORBIT = 1,
    DRAG_ROTATE = 2,
    DRAG_PAN = 3,
    DRAG_CUT_LINE = 4,
    DRAG_TURN_PLANE = 5,
    DRAG_PUSH_PLANE = 6,
    DRAG_ISOVALUE = 7,
    DRAG_WINDOW_LEVEL = 8,
    DRAG_ZOOM = 9,
    DRAG_MOVE_ROLL = 10,
    DRAG_SHADE = 11,
    DRAG_HUE_SAT = 12,
    DRAG_SEGMENT_VALUE = 13,
    DRAG_OUTLINE = 14,
};

// Which groups of the view's state a handler changed, and so which
// collaboration lines go out. 0 or negative: nothing to send.
enum ChangeMask : int {
    CHANGE_NONE = 0,
    CHANGE_CAMERA = 1,
    CHANGE_CAMERA_VECTORS = 2,
    CHANGE_SEGMENTATION = 4,
    CHANGE_CUT_PLANES = 8,
    CHANGE_CONTROL = 16,
    CHANGE_PROBE = 32,
    CHANGE_CAPTURE = 64,
};

// Ranges the shading tools keep the colouring in.
constexpr float kMaxHue = 360.0f;
constexpr float kMinSaturation = 0.001f, kMaxSaturation = 0.999f;
constexpr float kMaxDiffuse = 0.999f;
constexpr float kMinShine = 1.0f, kMaxShine = 50.0f;
// Range of the flood-radius tool, and of the density-range bounds (the
// default upper bound, 3000, included), in HU.
constexpr int kMinSegRadius = 1, kMaxSegRadius = 2000;
constexpr int kMaxSegBoundHU = 3000;

// No density under the cursor.
constexpr int kNoProbeValue = -8888;
// A peer text that was a put-under request: handled, nothing to re-render.
constexpr int kPutUnderHandled = -666;

}  // namespace v3d
