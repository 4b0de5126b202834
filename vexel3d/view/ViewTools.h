#pragma once
// Camera and cut-plane helpers shared by the tool commands and the input
// handlers, within the limits that keep the camera near the volume.

#include "render/math/Vec3.h"

namespace v3d {

class ViewCore;

// The frame has a series (tool commands need no more).
bool viewIsReady(const ViewCore& view);
// The user holds collaboration control: only then do tools change the view.
bool hasControl(ViewCore& view);

// Half the volume's diagonal: the unit of the camera's distance limits.
float halfDiagonal(const ViewCore& view);
// The camera stays inside this many half-diagonals of the volume centre.
constexpr float kCameraLimit = 2.5f;
// Segmentation values from outside the tools (profile, setup dialog) brought
// into the ranges the tools keep: bounds within +-kMaxSegBoundHU (high not
// below low), the radius within kMinSegRadius..kMaxSegRadius.
void clampSegmentationValues(int& low, int& high, int& radius);
// Places the camera at the proposed point, pulled in to 2.45 half-diagonals
// from the volume centre; false (nothing moved) from 2.5 on.
bool placeCameraNear(ViewCore& view, const Vec3& proposed);
// Turns the camera about its own axis (1 up, 2 right); upright-keeping when
// tumbling is off.
void turnCamera(ViewCore& view, int axis, float degrees);
// Moves the selected cut plane by d unless its point would leave the sphere
// of the volume centre's length about the centre; false when nothing moved.
bool pushSelectedPlane(ViewCore& view, const Vec3& d);

}  // namespace v3d
