#pragma once
// State travels and is saved as fixed-point text with six decimals. A value
// the view keeps as that text reads back is the same on every road: a
// flood seeded at 12.9999999 would take another cell on a peer that reads
// "13.000000".

#include "render/math/Vec3.h"

namespace v3d {

// The float that the six-decimal text of value reads back as (in any
// process locale); non-finite values are returned as they are.
float sixDecimalValue(float value);
Vec3 sixDecimalValue(const Vec3& value);

}  // namespace v3d
