#include "plugin/frame/CommandTexts.h"

#include "view/RendererRegistry.h"

namespace v3d {

const char* commandCaption(int command) {
    if (const RendererKind* renderer = rendererOfCommand(command)) return renderer->menuText;
    switch (command) {
    case ID_ORBIT_CAMERA: return "Orbit camera";
    case ID_ROTATE_CAMERA: return "Rotate camera";
    case ID_STRAFE_CAMERA: return "Strafe/Slide camera";
    case ID_MOVE_ROLL_CAMERA: return "Move/Roll camera";
    case ID_ISOVALUE: return "Isovalue (right button)";
    case ID_WINDOW_LEVEL: return "Window/Level (right button)";
    case ID_HUE_SATURATION: return "Hue/saturation (right button)";
    case ID_SHADE: return "Shade (right button)";
    case ID_CREATE_CUTPLANE: return "Create cutplane (right button)";
    case ID_DELETE_CUTPLANE: return "Delete selected cutplane";
    case ID_MOVE_CUTPLANE: return "Move selected cutplane (right button)";
    case ID_SELECT_CUTPLANE: return "Select cutplane (right button)";
    case ID_SELECT_OBJECT: return "Select visible object (doubleclick)";
    case ID_SELECT_ROI: return "Select region of interest (right button)";
    case ID_SELECT_DENSITY: return "Select by density range (right button)";
    case ID_PARALLEL: return "Parallel projection";
    case ID_PERSPECTIVE: return "Perspective projection";
    case ID_RESET_VIEW: return "Reset view";
    case ID_RESET_CUTPLANES: return "Reset cutplanes";
    case ID_RESET_SEGMENTATION: return "Reset segmentation";
    case ID_RESET_SHADING: return "Reset shading";
    case ID_CAPTURE: return "Capture images";
    case ID_TOOLBAR_MAIN: return "Main";
    case ID_TOOLBAR_RESET: return "Reset";
    case ID_TOOLBAR_CAMERA: return "Camera";
    case ID_TOOLBAR_CUTPLANE: return "Cutplane";
    case ID_TOOLBAR_SEGMENTATION: return "Segmentation";
    default: return "";
    }
}

}  // namespace v3d
