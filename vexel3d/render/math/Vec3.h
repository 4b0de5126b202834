#pragma once
// Single-precision three-component vector and its free functions. Everything
// is inline: these sit inside the per-sample loops of the ray casters.

#include <cmath>

namespace v3d {

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vec3() = default;
    constexpr Vec3(float xv, float yv, float zv) : x(xv), y(yv), z(zv) {}

    Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vec3& operator-=(const Vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
};

inline Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 scale(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 scale(float s, const Vec3& a) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 divide(const Vec3& a, float s) { return {a.x / s, a.y / s, a.z / s}; }
inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline Vec3 negate(const Vec3& a) { return {-a.x, -a.y, -a.z}; }

// Divides in place by the length and returns the result. A zero vector is
// not guarded against: callers never pass one.
inline Vec3& normalise(Vec3& a)
{
    const float len = length(a);
    a.x /= len;
    a.y /= len;
    a.z /= len;
    return a;
}

// The unit vector of a, leaving a unchanged.
inline Vec3 normalised(Vec3 a) { return normalise(a); }

// Relative comparison: two vectors are the same when their distance is at
// most a hundred-thousandth of their summed lengths (two zeros are equal).
inline bool approximatelyEqual(const Vec3& a, const Vec3& b)
{
    return length(sub(a, b)) <= (length(a) + length(b)) / 100000.0f;
}

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return add(a, b); }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return sub(a, b); }
inline Vec3 operator-(const Vec3& a) { return negate(a); }
inline Vec3 operator*(const Vec3& a, float s) { return scale(a, s); }
inline Vec3 operator*(float s, const Vec3& a) { return scale(s, a); }
inline Vec3 operator/(const Vec3& a, float s) { return divide(a, s); }
inline bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const Vec3& a, const Vec3& b) { return !(a == b); }

}  // namespace v3d
