#pragma once
// Where mouse deltas are measured from, shared by every view of the process:
// only one view has the mouse at a time, and a warping drag that starts in
// one view must not see a stale anchor left by another.

#include "view/DisplayGeometry.h"

namespace v3d {

struct MouseAnchor {
    // Client position of the last handled move: the reference of every delta.
    static inline ClientPoint s_lastMouse{};
    // Client position where the current warping drag was anchored.
    static inline ClientPoint s_anchorMouse{};
    // Screen position of the cursor at that moment: where it is warped back to.
    static inline ClientPoint s_anchorScreen{};
};

}  // namespace v3d
