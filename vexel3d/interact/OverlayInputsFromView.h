#pragma once
// Copies what the overlays read from a view, its frame, camera and volume.

#include "interact/OverlayInputs.h"

namespace v3d {

class ViewCore;

OverlayInputs overlayInputsFromView(const ViewCore& view, int clientWidth, int clientHeight);

}  // namespace v3d
