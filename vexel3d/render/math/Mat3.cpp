#include "render/math/Mat3.h"

#include <cmath>

namespace v3d {

Mat3 multiply(const Mat3& A, const Mat3& B)
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r(i, j) = A(i, 0) * B(0, j) + A(i, 1) * B(1, j) + A(i, 2) * B(2, j);
    return r;
}

float determinant(const Mat3& M)
{
    const float* m = M.m;
    return m[0] * m[4] * m[8] + m[1] * m[5] * m[6] + m[2] * m[3] * m[7]
         - m[2] * m[4] * m[6] - m[0] * m[5] * m[7] - m[1] * m[3] * m[8];
}

Mat3 inverse(const Mat3& M)
{
    const float* m = M.m;
    const float det = determinant(M);
    Mat3 r;
    r.m[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    r.m[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    r.m[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    r.m[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    r.m[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    r.m[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    r.m[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    r.m[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    r.m[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    return r;
}

Mat3 rotation(const Vec3& axis, float degrees)
{
    const float t = degrees * kDegreesToRadians;
    const float co = std::cos(t);
    const float si = std::sin(t);
    const float g = 1.0f - co;
    const float a = axis.x, b = axis.y, c = axis.z;
    return Mat3({co + g * a * a, g * a * b + si * c, g * a * c - si * b},
                {g * a * b - si * c, co + g * b * b, g * b * c + si * a},
                {g * a * c + si * b, g * b * c - si * a, co + g * c * c});
}

}  // namespace v3d
