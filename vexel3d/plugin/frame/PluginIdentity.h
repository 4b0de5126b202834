#pragma once

namespace v3d {

// The plug-in's name towards the host: first argument of every host call
// that names the plug-in.
constexpr const char* kPluginId = "Orlinex Quarvia Vexel 3D demo";
constexpr const char* kHumanName = "Vexel 3D";

// Profile scope and section of every setting.
constexpr int kProfileScope = 0;
constexpr const char* kProfileSection = "v3d";

// Commands of the host menu and the global message window.
enum Command : int {
    CMD_CREATE = 5000,
    CMD_DELETE = 5001,
    CMD_REMOVE = 5002,
    CMD_CONFIGURE = 5003,
    CMD_REFRESH = 5004,
    CMD_SAVE_SEGMENTATION = 5005,
    CMD_OPEN_SEGMENTATION = 5006,
    CMD_UNDO_SEGMENTATION = 5007,
};

}  // namespace v3d
