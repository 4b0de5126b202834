#include "segment/PolygonTest.h"

#include "render/math/PlaneMath.h"

#include <cstddef>

namespace v3d {

bool insidePolygon(const Vec3& p, const std::vector<Vec3>& polygon, const Vec3& viewDirection,
                   const Vec3& testAxis)
{
    const size_t count = polygon.size();
    int crossings = 0;
    for (size_t i = 0; i < count; ++i) {
        const Vec3& from = polygon[i];
        const Vec3& to = polygon[(i + 1) % count];
        const Vec3 along = to - from;
        if (length(along) == 0.0f)
            continue;
        const Vec3 side = cross(viewDirection, normalised(along));
        bool entering = false;
        float t = 0.0f;
        Vec3 hit;
        if (!intersectLinePlane(p, testAxis, from, side, entering, t, hit) || !(t > 0.0f))
            continue;
        // The hit counts only strictly between the edge's ends.
        const Vec3 m = cross(viewDirection, side);
        if (dot(-m, to - hit) > 0.0f && dot(m, from - hit) > 0.0f)
            ++crossings;
    }
    return crossings % 2 == 1;
}

}  // namespace v3d
