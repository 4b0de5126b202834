#include "segment/OutlineCut.h"

#include "segment/Segmenter.h"

#include <cmath>
#include <cstddef>

namespace v3d {

Vec3 outlineTestAxis(const Vec3& direction)
{
    // Crossed with the index axis least aligned with it: never parallel.
    const float ax = std::fabs(direction.x), ay = std::fabs(direction.y), az = std::fabs(direction.z);
    const Vec3 helper = ax <= ay && ax <= az ? Vec3(1, 0, 0) : ay <= az ? Vec3(0, 1, 0) : Vec3(0, 0, 1);
    return normalised(cross(direction, helper));
}

void sweepOutlineBarrier(Segmenter& segmenter, const std::vector<Vec3>& points,
                         const Vec3& direction, float startDepth, int depthRange)
{
    const size_t count = points.size();
    for (size_t k = 0; k < count; ++k) {
        const Vec3& start = points[k];
        const Vec3& end = points[(k + 1) % count];
        const float samples = 2.0f * length(start - end);
        // Positive form: a NaN length is skipped too.
        if (!(samples >= 1.0f && samples <= float(kMaxEdgeSamples)))
            continue;
        const int n = int(samples);
        const Vec3 step = (start - end) / float(n);
        Vec3 position = end;
        for (int i = 0; i < n; ++i, position += step) {
            Vec3 q = position + direction * startDepth;
            for (int s = 0; s < depthRange; ++s, q += direction)
                segmenter.markBarrierBlock(q.x, q.y, q.z);
        }
    }
}

void cutAlongOutline(Segmenter& segmenter, const std::vector<Vec3>& points, const Vec3& direction,
                     const Vec3& testAxis, float startDepth, int depthRange, bool keepInside)
{
    sweepOutlineBarrier(segmenter, points, direction, startDepth, depthRange);
    segmenter.selectRegion(points, direction, testAxis, keepInside);
}

}  // namespace v3d
