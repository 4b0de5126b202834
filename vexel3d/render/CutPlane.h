#pragma once
// One cut plane: a point, a normal pointing toward the removed side, and the
// fixed anchor (the volume centre) that keeps its point near the volume.

#include "render/Vec3.h"

class CutPlaneOwner;

class CutPlane {
public:
    CutPlane(const Vec3& anchor, const Vec3& point, const Vec3& normal,
             CutPlaneOwner* owner, int tag = 0);

    // Moves the point to the centre of the plane's section through the
    // volume, or else to the foot of the perpendicular from the anchor.
    void recentre();
    void translate(const Vec3& d);
    // a and b become relative to the point (in place); the normal is their
    // normalised cross product.
    void setNormalFromVectors(Vec3& a, Vec3& b);
    // Two points 100 units from the point along two perpendicular in-plane
    // directions (the plane's rotation handles).
    void handles(Vec3& h1, Vec3& h2) const;
    // The line where this plane meets the plane (q2, n2); false if parallel.
    bool intersectWithPlane(const Vec3& q2, const Vec3& n2, Vec3& linePoint,
                            Vec3& lineDirection) const;

    Vec3 anchor;
    Vec3 point;
    Vec3 normal;
    int tag = 0;
    CutPlaneOwner* owner = nullptr;
};
