#pragma once
// The records that each segmentation appends to the view's history, the
// text that peers replay. Every record ends with the letter J instead of a
// line feed, so that a whole history fits in one line. Floats are written
// as "%f" would in the C locale, whatever the process locale is.

#include "render/math/Vec3.h"
#include "segment/SegmentMask.h"

#include <string>
#include <vector>

namespace v3d {

// Six decimals, '.' as the decimal point.
std::string fixedSix(float value);

// "SEGBEGIN x y z 1 add bound planes low highJ", one "SEGCUTPLANE ...J" per
// plane (its point and normal), "SEGENDJ".
std::string floodRecords(const Vec3& seed, bool add, bool boundByCutPlanes,
                         const std::vector<SegmentPlane>& cutPlanes, int low, int high);

// "SEGROIBEGIN dx dy dz keep count startDepth depthRangeJ", one
// "SEGROIPOINT x y zJ" per outline point, "SEGROIENDJ".
std::string outlineRecords(const Vec3& direction, bool keep, const std::vector<Vec3>& points,
                           float startDepth, int depthRange);

}  // namespace v3d
