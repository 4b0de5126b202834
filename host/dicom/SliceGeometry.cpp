#include "SliceGeometry.h"

#include <algorithm>
#include <cmath>

namespace quarvia {

namespace {
constexpr double kPi = 3.14159265358979323846;

bool finite(const double* values, int count) {
    return std::all_of(values, values + count, [](double v) { return std::isfinite(v); });
}
}  // namespace

double dot(const Vec3d& a, const Vec3d& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double norm(const Vec3d& a) { return std::sqrt(dot(a, a)); }
Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3d sub(const Vec3d& a, const Vec3d& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

double angleDegrees(const Vec3d& a, const Vec3d& b) {
    const double c = dot(a, b) / (norm(a) * norm(b));
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180.0 / kPi;
}

CheckedGeometry checkGeometry(const double orientation[6], const Vec3d& position) {
    CheckedGeometry g;
    if (!finite(position.data(), 3)) return (g.state = GeometryState::PositionNotFinite), g;
    for (double p : position)
        if (std::fabs(p) > SliceGeometryLimits::maxPositionMm) return (g.state = GeometryState::PositionOutOfRange), g;
    if (!finite(orientation, 6)) return (g.state = GeometryState::OrientationNotFinite), g;
    const Vec3d r{orientation[0], orientation[1], orientation[2]}, c{orientation[3], orientation[4], orientation[5]};
    // Lengths are compared before squaring can overflow (a value of 1e200).
    for (const Vec3d& v : {r, c}) {
        const double largest = std::max({std::fabs(v[0]), std::fabs(v[1]), std::fabs(v[2])});
        if (largest > SliceGeometryLimits::maxDirectionLength) return (g.state = GeometryState::OrientationNotUnit), g;
        const double length = norm(v);
        if (length < SliceGeometryLimits::minDirectionLength || length > SliceGeometryLimits::maxDirectionLength)
            return (g.state = GeometryState::OrientationNotUnit), g;
    }
    g.angleDegrees = angleDegrees(r, c);
    if (std::fabs(g.angleDegrees - 90.0) > SliceGeometryLimits::rightAngleToleranceDegrees)
        return (g.state = GeometryState::OrientationNotPerpendicular), g;
    // The row as given; the column without its share along the row.
    const double lr = norm(r);
    for (size_t i = 0; i < 3; ++i) g.row[i] = r[i] / lr;
    const double along = dot(c, g.row);
    Vec3d square{c[0] - along * g.row[0], c[1] - along * g.row[1], c[2] - along * g.row[2]};
    const double lc = norm(square);
    for (size_t i = 0; i < 3; ++i) g.column[i] = square[i] / lc;
    g.state = GeometryState::Present;
    return g;
}

}  // namespace quarvia
