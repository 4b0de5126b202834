#pragma once
// The view's renderers, one line each: the mode a state text names, the
// command that chooses it, its menu text, the name a capture's description
// carries, and how it is made. A renderer more is its own class and a line.

#include "view/ViewCore.h"

namespace v3d {

struct RendererKind {
    RenderMode mode;
    int command;
    const char* menuText;
    const char* captureName;
    std::unique_ptr<CRaycaster> (*make)(RenderHost& host, const CVolume& volume, const Camera& camera,
                                        RenderWorkspace& workspace, const uint8_t* shadeTable);
};

// Every renderer, in mode order (the toolbar's order too).
const std::array<RendererKind, kRenderModeCount>& rendererKinds();
// The renderer of a mode, or null for a number that names none.
const RendererKind* rendererOfMode(int mode);
// The renderer a command chooses, or null.
const RendererKind* rendererOfCommand(int command);

// The view's renderers as the table makes them.
std::unique_ptr<CRaycaster> makeStandardRenderer(int mode, ViewCore& view);

}  // namespace v3d
