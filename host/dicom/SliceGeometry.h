#pragma once

#include <array>

namespace quarvia {

using Vec3d = std::array<double, 3>;

// What a volume accepts of an image's place in the patient.
struct SliceGeometryLimits {
    // Patient coordinates are within metres of the origin; far beyond that
    // the numbers are garbage, and steps between them would overflow.
    static constexpr double maxPositionMm = 1e5;
    // Row and column are unit vectors; printed with a few decimals they are
    // a little off, never by half.
    static constexpr double minDirectionLength = 0.5;
    static constexpr double maxDirectionLength = 2.0;
    // Row and column must be at right angles within this: values printed
    // with four decimals stay below it, and the shear it leaves across a
    // 500 mm image is under half a millimetre. Within it the column is made
    // exactly perpendicular to the row; beyond it the image is refused, as
    // pixels would be placed millimetres from where they were measured.
    static constexpr double rightAngleToleranceDegrees = 0.05;
    // A slice step may lean against the image normal by this much (gantries
    // tilt at most about 30 degrees); more is not a stack of slices.
    static constexpr double maxTiltDegrees = 30.0;
};

// An image's position and orientation as read.
enum class GeometryState {
    Present,
    Absent,
    PositionNotFinite,
    PositionOutOfRange,
    OrientationNotFinite,
    OrientationNotUnit,
    OrientationNotPerpendicular,
};

// Its pixel spacing as read.
enum class SpacingState { Given, Missing, SingleValue, NotPositive };

struct CheckedGeometry {
    GeometryState state = GeometryState::Absent;
    Vec3d row{1, 0, 0};  // unit vectors at right angles when Present
    Vec3d column{0, 1, 0};
    double angleDegrees = 90;  // between row and column as given
};

// Checks the six orientation values and the three position values.
CheckedGeometry checkGeometry(const double orientation[6], const Vec3d& position);

double dot(const Vec3d& a, const Vec3d& b);
double norm(const Vec3d& a);
Vec3d cross(const Vec3d& a, const Vec3d& b);
Vec3d sub(const Vec3d& a, const Vec3d& b);
// Angle between two non-zero vectors, in degrees.
double angleDegrees(const Vec3d& a, const Vec3d& b);

}  // namespace quarvia
