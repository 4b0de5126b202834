#include "HeadPhantom.h"

#include <cmath>

namespace {
// Normalised ellipsoid radius: < 1 inside.
double ellipsoid(double x, double y, double z, double a, double b, double c) {
    return std::sqrt((x * x) / (a * a) + (y * y) / (b * b) + (z * z) / (c * c));
}
bool inTube(double x, double y, double cx, double cy, double r) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r; }
}  // namespace

double HeadPhantom::hu(double x, double y, double z) const {
    const double head = ellipsoid(x, y, z, 78, 95, 70);
    if (head >= 1.0) return -1000.0;                      // air
    const double depth = (1.0 - head) * 78;               // rough mm below the surface
    if (depth < 3.0) return 30.0;                         // skin and scalp
    if (depth < 10.0) return depth < 4.5 || depth > 8.5 ? 1400.0 : 700.0;  // cortical and diploe bone
    // Contrast vessels: two carotid-like tubes and a sagittal one.
    if (z < 40 && (inTube(x, y, -22, 10, 3.0) || inTube(x, y, 22, 10, 3.0))) return 320.0;
    if (inTube(x, z, 0, 20, 2.5) && y > -60 && y < 60) return 280.0;
    if (ellipsoid(x + 8, y, z - 5, 4, 18, 10) < 1.0 || ellipsoid(x - 8, y, z - 5, 4, 18, 10) < 1.0) return 5.0;  // ventricles
    return 35.0;                                          // brain
}
