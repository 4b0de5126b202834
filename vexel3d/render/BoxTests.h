#pragma once
// Tests against the volume's clip box (its six boundary planes, index space)
// and the moves between index space and volume space.

#include "render/math/Vec3.h"

namespace v3d {

class CVolume;

// Start-point test of the ray casters: inside all six planes (inclusive).
bool inside(const CVolume& volume, const Vec3& p);
// The same with every bound widened by margin.
bool insideWithMargin(const CVolume& volume, const Vec3& p, float margin);
// Within the face's rectangle: the coordinate across the face is not tested
// (faces 0-1 test x and y, 2-3 z and y, 4-5 x and z).
bool insideFace(const CVolume& volume, const Vec3& p, int face);

// Index space -> volume space (axisMatrix) and back (inverseAxisMatrix).
Vec3 toVolumeSpace(const CVolume& volume, const Vec3& v);
Vec3 toIndexSpace(const CVolume& volume, const Vec3& v);

}  // namespace v3d
