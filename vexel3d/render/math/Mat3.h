#pragma once
// 3 x 3 float matrix stored row by row; M * v means component i = row i . v.

#include "render/math/Vec3.h"

namespace v3d {

struct Mat3 {
    float m[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};

    constexpr Mat3() = default;
    // Built from three row vectors.
    Mat3(const Vec3& r0, const Vec3& r1, const Vec3& r2)
        : m{r0.x, r0.y, r0.z, r1.x, r1.y, r1.z, r2.x, r2.y, r2.z} {}

    static Mat3 identity() { return Mat3({1, 0, 0}, {0, 1, 0}, {0, 0, 1}); }
    static Mat3 fromColumns(const Vec3& c0, const Vec3& c1, const Vec3& c2)
    {
        return Mat3({c0.x, c1.x, c2.x}, {c0.y, c1.y, c2.y}, {c0.z, c1.z, c2.z});
    }

    float& operator()(int row, int col) { return m[row * 3 + col]; }
    float operator()(int row, int col) const { return m[row * 3 + col]; }
    Vec3 row(int r) const { return {m[r * 3], m[r * 3 + 1], m[r * 3 + 2]}; }
    Vec3 column(int c) const { return {m[c], m[3 + c], m[6 + c]}; }
};

inline Vec3 multiply(const Mat3& M, const Vec3& v)
{
    const float* m = M.m;
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z,
            m[3] * v.x + m[4] * v.y + m[5] * v.z,
            m[6] * v.x + m[7] * v.y + m[8] * v.z};
}

inline Vec3 operator*(const Mat3& M, const Vec3& v) { return multiply(M, v); }

// Matrix product A * B.
Mat3 multiply(const Mat3& A, const Mat3& B);

// Sum over the three cyclic diagonals.
float determinant(const Mat3& M);

// Adjugate divided by the determinant (no guard against a singular matrix).
Mat3 inverse(const Mat3& M);

// Rotation about the unit axis by the angle in degrees. The sign convention
// fixes the turning direction of every camera tool; do not "correct" it.
Mat3 rotation(const Vec3& axis, float degrees);

// The factor the system uses everywhere to turn degrees into radians.
constexpr float kDegreesToRadians = 0.01745329f;

}  // namespace v3d
