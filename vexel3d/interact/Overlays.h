#pragma once
// Everything drawn over the 3D view's picture in one paint, in order.

#include "interact/OverlayInputs.h"
#include "interact/OverlayItems.h"

namespace v3d {

// The plug-in bitmap of the lossy-image notice (16 x 16).
constexpr int kLossyNoticeBitmap = 5010;

// Before the view is ready: its notice. When ready: the text blocks, the
// density bounds, the gesture lines, the plane marker, the progress bars,
// the coarse-pass mark, the orientation figure and the distance gauge, then
// the lossy notice when some image is not lossless.
OverlayList buildOverlays(const OverlayInputs& in);

}  // namespace v3d
