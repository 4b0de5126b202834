#pragma once
// Tests against the volume's clip box (its six boundary planes, index space)
// and the moves between index space and volume space. Inline: every ray's
// set-up and every cast's start ask them.

#include "render/math/Vec3.h"
#include "volume/CVolume.h"

namespace v3d {

// The clip box's bounds: faces 3 and 2 bound x, 4 and 5 y, 0 and 1 z.
struct ClipBounds {
    float xmin, xmax, ymin, ymax, zmin, zmax;
};

inline ClipBounds clipBounds(const CVolume& volume, float margin = 0.0f)
{
    const Vec3* b = volume.boundaryPoints;
    return {b[3].x - margin, b[2].x + margin, b[4].y - margin,
            b[5].y + margin, b[0].z - margin, b[1].z + margin};
}

inline bool withinBounds(float v, float lo, float hi) { return lo <= v && v <= hi; }

// The same with every bound widened by margin.
inline bool insideWithMargin(const CVolume& volume, const Vec3& p, float margin)
{
    const ClipBounds b = clipBounds(volume, margin);
    return withinBounds(p.x, b.xmin, b.xmax) && withinBounds(p.z, b.zmin, b.zmax)
        && withinBounds(p.y, b.ymin, b.ymax);
}

// Start-point test of the ray casters: inside all six planes (inclusive).
inline bool inside(const CVolume& volume, const Vec3& p) { return insideWithMargin(volume, p, 0.0f); }

// Within face k's rectangle of the bounds b: the coordinate across the face
// is not tested (faces 0-1 test x and y, 2-3 z and y, 4-5 x and z).
inline bool insideFace(const ClipBounds& b, const Vec3& p, int face)
{
    switch (face) {
    case 0:
    case 1:
        return withinBounds(p.x, b.xmin, b.xmax) && withinBounds(p.y, b.ymin, b.ymax);
    case 2:
    case 3:
        return withinBounds(p.z, b.zmin, b.zmax) && withinBounds(p.y, b.ymin, b.ymax);
    case 4:
    case 5:
        return withinBounds(p.x, b.xmin, b.xmax) && withinBounds(p.z, b.zmin, b.zmax);
    default:
        return false;
    }
}

inline bool insideFace(const CVolume& volume, const Vec3& p, int face)
{
    return insideFace(clipBounds(volume), p, face);
}

// Index space -> volume space (axisMatrix) and back (inverseAxisMatrix).
inline Vec3 toVolumeSpace(const CVolume& volume, const Vec3& v) { return volume.axisMatrix * v; }
inline Vec3 toIndexSpace(const CVolume& volume, const Vec3& v) { return volume.inverseAxisMatrix * v; }

}  // namespace v3d
