#include "ImagePlane.h"

#include "dicom/DicomImage.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace quarvia {

Vec3d ImagePlane::patientOf(double column, double row) const {
    Vec3d p;
    for (int i = 0; i < 3; ++i) p[size_t(i)] = origin[size_t(i)] + column * du * u[size_t(i)] + row * dv * v[size_t(i)];
    return p;
}

void ImagePlane::pixelOf(const Vec3d& point, double& column, double& row) const {
    const Vec3d d = sub(point, origin);
    column = dot(d, u) / du;
    row = dot(d, v) / dv;
}

bool ImagePlane::coversPixel(double column, double row) const {
    return column >= -0.5 && row >= -0.5 && column <= columns - 0.5 && row <= rows - 0.5;
}

ImagePlane planeOfImage(const DicomImage& image, int index, double step) {
    ImagePlane plane;
    plane.columns = image.columns();
    plane.rows = image.rows();
    plane.du = image.spacingX();
    plane.dv = image.spacingY();
    plane.step = step > 0 ? step : 1.0;
    if (image.hasGeometry()) {
        plane.origin = image.position();
        plane.u = image.rowDir();
        plane.v = image.colDir();
    } else {
        plane.origin = {0, 0, double(index)};
        plane.step = 1.0;
    }
    return plane;
}

bool parallel(const ImagePlane& a, const ImagePlane& b) { return norm(cross(a.normal(), b.normal())) < kParallelSine; }

bool intersectionInPixels(const ImagePlane& plane, const ImagePlane& other, std::array<double, 4>& ends) {
    if (parallel(plane, other)) return false;
    // The line in pixel coordinates: n_other . (P(c, r) - o_other) = 0, i.e.
    // a c + b r = k.
    const Vec3d n = other.normal();
    const double a = dot(n, plane.u) * plane.du, b = dot(n, plane.v) * plane.dv;
    const double k = dot(n, sub(other.origin, plane.origin));
    const double lo_c = -0.5, hi_c = plane.columns - 0.5, lo_r = -0.5, hi_r = plane.rows - 0.5;
    std::vector<std::pair<double, double>> hits;
    auto add = [&](double c, double r) {
        if (c >= lo_c - 1e-9 && c <= hi_c + 1e-9 && r >= lo_r - 1e-9 && r <= hi_r + 1e-9) hits.emplace_back(c, r);
    };
    if (std::fabs(b) > 1e-12) {
        add(lo_c, (k - a * lo_c) / b);
        add(hi_c, (k - a * hi_c) / b);
    }
    if (std::fabs(a) > 1e-12) {
        add((k - b * lo_r) / a, lo_r);
        add((k - b * hi_r) / a, hi_r);
    }
    if (hits.size() < 2) return false;
    // The two hits farthest apart (a corner is hit twice).
    size_t first = 0, second = 1;
    double best = -1;
    for (size_t i = 0; i < hits.size(); ++i)
        for (size_t j = i + 1; j < hits.size(); ++j) {
            const double dc = hits[i].first - hits[j].first, dr = hits[i].second - hits[j].second;
            if (dc * dc + dr * dr > best) best = dc * dc + dr * dr, first = i, second = j;
        }
    ends = {hits[first].first, hits[first].second, hits[second].first, hits[second].second};
    return best > 0;
}

Vec3d rotated(const Vec3d& v, const Vec3d& axis, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const Vec3d k = axis;
    const Vec3d kv = cross(k, v);
    const double kd = dot(k, v);
    Vec3d out;
    for (size_t i = 0; i < 3; ++i) out[i] = v[i] * c + kv[i] * s + k[i] * kd * (1 - c);
    return out;
}

}  // namespace quarvia
