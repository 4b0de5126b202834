#pragma once

#include "dicom/SliceGeometry.h"

#include <array>

namespace quarvia {

class DicomImage;

// Where a shown picture lies in the patient: pixel (c, r) has its centre at
// origin + c * du * u + r * dv * v (the convention of image positions).
struct ImagePlane {
    Vec3d origin{};
    Vec3d u{1, 0, 0};  // along a row, to the right
    Vec3d v{0, 1, 0};  // down a column
    double du = 1, dv = 1;
    int columns = 0, rows = 0;
    // How far apart neighbouring planes of its stack are (mm): a point closer
    // than half of it to the plane lies in the picture.
    double step = 1;

    Vec3d normal() const { return cross(u, v); }
    Vec3d patientOf(double column, double row) const;
    // The pixel a point projects to, and its signed distance from the plane.
    void pixelOf(const Vec3d& point, double& column, double& row) const;
    double distanceTo(const Vec3d& point) const { return dot(sub(point, origin), normal()); }
    // Within the picture's pixels (their edges, not only their centres).
    bool coversPixel(double column, double row) const;
};

// The plane of an acquired image; one without geometry is stacked at its
// index, one image a millimetre, so that its own pixels still measure.
ImagePlane planeOfImage(const DicomImage& image, int index, double step);

// Two planes whose normals differ by less than this (sine of the angle) are parallel.
constexpr double kParallelSine = 1e-3;
bool parallel(const ImagePlane& a, const ImagePlane& b);

// Where plane `other` cuts `plane`, as the two ends (pixels of `plane`) of
// the segment inside its picture; false when they do not meet there.
bool intersectionInPixels(const ImagePlane& plane, const ImagePlane& other, std::array<double, 4>& ends);

// Turns v about the unit axis by angle (radians), right-handed.
Vec3d rotated(const Vec3d& v, const Vec3d& axis, double angle);

}  // namespace quarvia
