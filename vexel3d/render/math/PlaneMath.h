#pragma once
// Ray and line intersections with a plane given by a point Q and a normal N.

#include "render/math/Vec3.h"

namespace v3d {

// Intersection of the ray P + s D (s >= 0) with the plane. A ray parallel to
// the plane hits only when it lies in it (point = P). Behind: point = P, false.
bool intersectRayPlane(const Vec3& P, const Vec3& D, const Vec3& Q, const Vec3& N, Vec3& point);

// Intersection of the whole line P + t D with the plane; t may be negative.
// entering: the line crosses against the normal. For a parallel line the
// result is false and entering tells whether P lies on the normal's side.
bool intersectLinePlane(const Vec3& P, const Vec3& D, const Vec3& Q, const Vec3& N,
                        bool& entering, float& t, Vec3& point);

}  // namespace v3d
