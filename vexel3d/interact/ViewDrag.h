#pragma once
// Mouse moves: hovering probes the density under the cursor; a drag picks
// its operation afresh at every move from the buttons, the keys and the
// tools (so Shift or Ctrl switch it mid-drag) and performs it.

#include "view/DisplayGeometry.h"

namespace v3d {

class ViewCore;
class ViewWindow;

// The drag mode for the buttons and keys of a move (MouseFlag bits); the
// current mode where the buttons do not decide one.
int chooseDragMode(const ViewCore& view, int flags);

// The change mask of the move.
int mouseMove(ViewCore& view, ViewWindow& window, ClientPoint point, int flags);

}  // namespace v3d
