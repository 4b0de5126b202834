#include "render/math/PlaneMath.h"

namespace v3d {

bool intersectRayPlane(const Vec3& P, const Vec3& D, const Vec3& Q, const Vec3& N, Vec3& point)
{
    const float den = dot(D, N);
    const float num = dot(Q - P, N);
    if (den == 0.0f) {
        point = P;
        return num == 0.0f;
    }
    const float s = num / den;
    if (s < 0.0f) {
        point = P;
        return false;
    }
    point = P + D * s;
    return true;
}

bool intersectLinePlane(const Vec3& P, const Vec3& D, const Vec3& Q, const Vec3& N,
                        bool& entering, float& t, Vec3& point)
{
    const float den = dot(D, N);
    const float num = dot(Q - P, N);
    if (den == 0.0f) {
        t = 0.0f;
        point = Vec3();
        entering = num < 0.0f;
        return false;
    }
    entering = den < 0.0f;
    t = num / den;
    point = P + D * t;
    return true;
}

}  // namespace v3d
