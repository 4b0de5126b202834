#pragma once
// The overlay lines and rectangles: the cut line being drawn with its ticks
// and press star, the freehand outline, the rotated plane's marker, the
// loading progress bars, the orientation figure and the camera-distance
// gauge.

#include "interact/OverlayInputs.h"
#include "interact/OverlayItems.h"

namespace v3d {

// The line through the current point C towards the press point P, drawn
// across the whole image: a walks from C away from P, b from C past P,
// each in one-pixel steps while inside the image. False (nothing to draw)
// when P and C coincide.
bool cutLineEnds(const DisplayGeometry& display, ClientPoint press, ClientPoint current, ClientPoint& a,
                 ClientPoint& b);

// An eight-armed star: horizontal and vertical arms of 10 pixels, diagonal
// ones of 7, pen 2.
void addStar(OverlayList& out, ClientPoint centre, OverlayColour colour);

// Drag mode 4: the cut line clipped to the image, ticks every 10 pixels
// from its press-point end, and the star at the press point.
void addCutLine(OverlayList& out, const OverlayInputs& in);
// Drag mode 14: the freehand outline closed back to its first point, or
// the notice that the tool does nothing in perspective projection.
void addFreehandOutline(OverlayList& out, const OverlayInputs& in);
// Drag mode 5 with a plane selected: a star where the plane's point lies.
void addRotatedPlaneMarker(OverlayList& out, const OverlayInputs& in);
// Remaining download and remaining completion as two 3-pixel bars above
// the bottom edge; nothing once everything has arrived.
void addProgressBars(OverlayList& out, const OverlayInputs& in);
// The lettered cube in the bottom-left corner: faces turned away first and
// thin, faces towards the viewer after them and bold.
void addOrientationFigure(OverlayList& out, const OverlayInputs& in);
// The camera's distance from the volume centre against the volume's
// half-diagonal, on the left edge.
void addDistanceGauge(OverlayList& out, const OverlayInputs& in);

}  // namespace v3d
