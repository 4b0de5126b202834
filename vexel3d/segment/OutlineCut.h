#pragma once
// The region cut behind a drawn outline: a barrier surface swept from the
// outline along the view, then every part it cuts out kept or removed.

#include "render/math/Vec3.h"

#include <vector>

namespace v3d {

class Segmenter;

// Outline edges longer than this many sample points are skipped: no outline
// on the image comes near it, and the count bounds the work a replayed
// outline can cause.
constexpr int kMaxEdgeSamples = 1 << 16;

// For each edge from point k to point k + 1 (the last edge closes the
// outline): truncate(2 x its length) sample points from the edge's end
// towards its start, each followed along direction (a unit vector) from
// startDepth for depthRange unit steps, marking the barrier at every step.
void sweepOutlineBarrier(Segmenter& segmenter, const std::vector<Vec3>& points,
                         const Vec3& direction, float startDepth, int depthRange);

// The axis the inside test of an outline swept along direction counts its
// crossings along: perpendicular to the direction and fixed by it alone, so
// that a cut made here and replayed elsewhere, under any camera, decides
// every part alike.
Vec3 outlineTestAxis(const Vec3& direction);

// The barrier sweep, then the region cut with testAxis (outlineTestAxis of
// the direction) keeping the inside when keepInside.
void cutAlongOutline(Segmenter& segmenter, const std::vector<Vec3>& points, const Vec3& direction,
                     const Vec3& testAxis, float startDepth, int depthRange, bool keepInside);

}  // namespace v3d
