#include "render/CutPlane.h"

#include "render/math/PlaneMath.h"
#include "wire/NumberText.h"

#include <cmath>

namespace v3d {

CutPlane::CutPlane(const Vec3& a, const Vec3& p, const Vec3& n, int t)
    : anchor(a), point(p), normal(n), tag(t)
{
}

void CutPlane::recentre(const Vec3* sectionCentre)
{
    if (sectionCentre) {
        point = *sectionCentre;
    } else {
        normalise(normal);
        Vec3 foot;
        intersectRayPlane(anchor, normal, point, normal, foot);
        if (approximatelyEqual(foot, anchor))
            intersectRayPlane(anchor, negate(normal), point, normal, foot);
        if (!approximatelyEqual(foot, anchor))
            point = foot;
    }
    keepAsWritten();
}

void CutPlane::setNormalFromVectors(Vec3& a, Vec3& b)
{
    a -= point;
    b -= point;
    normal = cross(a, b);
    normalise(normal);
    keepAsWritten();
}

void CutPlane::keepAsWritten()
{
    point = sixDecimalValue(point);
    normal = sixDecimalValue(normal);
}

void CutPlane::handles(Vec3& h1, Vec3& h2) const
{
    const Vec3& n = normal;
    Vec3 A;
    // Solve for the component along the axis the normal leans on most; the
    // usual choice divides by z, which fails for normals near -x or -y.
    int solveFor;
    if (n.x > 0.5f)
        solveFor = 0;
    else if (n.y > 0.5f)
        solveFor = 1;
    else if (std::fabs(n.z) > 0.5f)
        solveFor = 2;
    else
        solveFor = std::fabs(n.x) >= std::fabs(n.y) ? 0 : 1;
    if (solveFor == 0)
        A = {(-0.3f * n.y - 0.3f * n.z) / n.x, 0.3f, 0.3f};
    else if (solveFor == 1)
        A = {0.3f, (-0.3f * n.x - 0.3f * n.z) / n.y, 0.3f};
    else
        A = {0.3f, 0.3f, (-0.3f * n.x - 0.3f * n.y) / n.z};
    normalise(A);
    Vec3 B = cross(normal, A);
    normalise(B);
    h1 = point + A * 100.0f;
    h2 = point + B * 100.0f;
}

bool CutPlane::intersectWithPlane(const Vec3& q2, const Vec3& n2, Vec3& linePoint,
                                  Vec3& lineDirection) const
{
    Vec3 h1, h2;
    handles(h1, h2);
    bool entering;
    float t;
    if (!intersectLinePlane(point, normalised(h1 - point), q2, n2, entering, t, linePoint)
        && !intersectLinePlane(point, normalised(h2 - point), q2, n2, entering, t, linePoint))
        return false;
    lineDirection = cross(normal, n2);
    normalise(lineDirection);
    return true;
}

}  // namespace v3d
