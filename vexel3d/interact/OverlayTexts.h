#pragma once
// The overlay texts: the two corner blocks, the density-bounds line and the
// notices shown before the volume is ready, with the system's own formats.

#include "interact/OverlayInputs.h"
#include "interact/OverlayItems.h"

#include <string>

namespace v3d {

// Top left: level, window and isovalue, then hue/saturation or shading
// values while those tools are the right tool.
std::string leftTextBlock(const OverlayInputs& in);
// Top right: field of view or diameter, then the cut-plane selection in
// cut-plane mode.
std::string rightTextBlock(const OverlayInputs& in);
// Whether the density-bounds line is shown: selection group, any tool but
// the region outline.
bool densityBoundsShown(const OverlayInputs& in);
// The bounds of the selection tool around the value they select, e.g.
// "20 < 120 < 220"; "..." stands for values that need a probe.
std::string densityBoundsLine(const OverlayInputs& in);

// The notices before the view is ready (no series, or images still
// missing); nothing once it is.
void addReadinessNotices(OverlayList& out, const OverlayInputs& in);
// The two corner blocks and the density-bounds line.
void addTextBlocks(OverlayList& out, const OverlayInputs& in);
// "D" at the bottom left while the renderer shows a coarse pass.
void addCoarsePassMark(OverlayList& out, const OverlayInputs& in);

}  // namespace v3d
