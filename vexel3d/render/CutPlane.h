#pragma once
// One cut plane, a plain value: a point, a normal pointing toward the
// removed side, and the fixed anchor (the volume centre) that keeps its
// point near the volume. The set that holds the planes recentres them.

#include "render/math/Vec3.h"
#include "wire/WireLimits.h"

namespace v3d {

class CutPlane {
public:
    CutPlane() = default;
    CutPlane(const Vec3& anchor, const Vec3& point, const Vec3& normal, int tag = 0);

    // Moves the point to the centre of the plane's section through the
    // volume when the caller found one, or else (normal made unit) to the
    // foot of the perpendicular from the anchor.
    void recentre(const Vec3* sectionCentre);
    void translate(const Vec3& d) { point += d; }
    // a and b become relative to the point (in place); the normal is their
    // normalised cross product.
    void setNormalFromVectors(Vec3& a, Vec3& b);
    // Two points 100 units from the point along two perpendicular in-plane
    // directions (the plane's rotation handles).
    void handles(Vec3& h1, Vec3& h2) const;
    // Point and normal as the six-decimal text of a state line reads them
    // back: a saved or shared plane cuts exactly where this one does. Every
    // change the user makes ends with it.
    void keepAsWritten();
    // The line where this plane meets the plane (q2, n2); false if parallel.
    bool intersectWithPlane(const Vec3& q2, const Vec3& n2, Vec3& linePoint,
                            Vec3& lineDirection) const;

    Vec3 anchor;
    Vec3 point;
    Vec3 normal;
    int tag = 0;
};

}  // namespace v3d
