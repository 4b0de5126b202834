#pragma once
// Copies what the overlays read from a view, its frame, camera and volume.

#include "interact/OverlayInputs.h"

class ViewCore;

namespace v3d {

// Reads only; the view offers its cut-plane list through a non-const accessor.
OverlayInputs overlayInputsFromView(ViewCore& view, int clientWidth, int clientHeight);

}  // namespace v3d
