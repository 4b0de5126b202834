#include "render/math/SixDecimals.h"

#include <charconv>
#include <cmath>

namespace v3d {

float sixDecimalValue(float value) {
    if (!std::isfinite(value)) return value;
    // As printf's "%f" writes it (the float widened to double, correctly
    // rounded) and as the readers parse it.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::fixed, 6);
    float parsed = value;
    std::from_chars(text, written.ptr, parsed, std::chars_format::fixed);
    return parsed;
}

Vec3 sixDecimalValue(const Vec3& value) {
    return Vec3(sixDecimalValue(value.x), sixDecimalValue(value.y), sixDecimalValue(value.z));
}

}  // namespace v3d
