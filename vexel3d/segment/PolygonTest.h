#pragma once
// Whether a point lies inside an outline drawn on the screen, seen along the
// view direction.

#include "render/math/Vec3.h"

#include <vector>

namespace v3d {

// Counts the outline edges that the ray from p along testAxis (perpendicular
// to the view) crosses, each edge taken as the plane through it along the
// view; p is inside when the count is odd. An edge of zero length is never
// crossed.
bool insidePolygon(const Vec3& p, const std::vector<Vec3>& polygon, const Vec3& viewDirection,
                   const Vec3& testAxis);

}  // namespace v3d
