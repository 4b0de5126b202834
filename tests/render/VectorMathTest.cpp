#include "render/math/Mat3.h"
#include "render/math/Vec3.h"

#include <gtest/gtest.h>

using namespace v3d;

namespace {

void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

} // namespace

TEST(VectorMath, ApproximatelyEqualAtItsThreshold)
{
    EXPECT_TRUE(approximatelyEqual(Vec3(), Vec3()));
    // The bound for (1, 0, 0) and (1 + d, 0, 0) is about 2.00002e-5. In
    // floats 1.00002 itself is 1 + 168 ulps (2.0027e-5 away, just outside);
    // 167 ulps (1.9908e-5) is the last step inside.
    const float ulp = 1.0f / 8388608.0f;
    EXPECT_TRUE(approximatelyEqual(Vec3(1, 0, 0), Vec3(1.0f + 167 * ulp, 0, 0)));
    EXPECT_FALSE(approximatelyEqual(Vec3(1, 0, 0), Vec3(1.0f + 168 * ulp, 0, 0)));
    EXPECT_FALSE(approximatelyEqual(Vec3(1, 0, 0), Vec3(1.0001f, 0, 0)));
    EXPECT_FALSE(approximatelyEqual(Vec3(1e-3f, 0, 0), Vec3()));
}

TEST(VectorMath, CrossFollowsTheRightHandRule)
{
    EXPECT_EQ(cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), Vec3(0, 0, 1));
    EXPECT_EQ(cross(Vec3(0, 1, 0), Vec3(1, 0, 0)), Vec3(0, 0, -1));
    EXPECT_EQ(scale(2.0f, Vec3(1, 2, 3)), scale(Vec3(1, 2, 3), 2.0f));
    Vec3 v(3, 0, 4);
    normalise(v);
    expectNear(v, Vec3(0.6f, 0, 0.8f));
}

TEST(VectorMath, RotationKeepsTheSystemsTurningSense)
{
    // About +z by +90 degrees, x goes to -y: the tools' turning directions
    // depend on this sign.
    expectNear(rotation(Vec3(0, 0, 1), 90) * Vec3(1, 0, 0), Vec3(0, -1, 0));
    expectNear(rotation(Vec3(0, 1, 0), 90) * Vec3(0, 0, 1), Vec3(-1, 0, 0));
    expectNear(rotation(Vec3(1, 0, 0), 90) * Vec3(0, 1, 0), Vec3(0, 0, -1));
    // A rotation keeps lengths and undoes with the opposite angle.
    const Vec3 axis = normalised(Vec3(1, 2, 3));
    const Vec3 v(0.3f, -2, 5);
    const Vec3 turned = rotation(axis, 37) * v;
    EXPECT_NEAR(length(turned), length(v), 1e-4f);
    expectNear(rotation(axis, -37) * turned, v, 1e-4f);
}

TEST(VectorMath, DeterminantAndInverse)
{
    const Mat3 m({2, 0, 1}, {1, 3, 0}, {0, 1, 4});
    EXPECT_FLOAT_EQ(determinant(m), 2 * 12 - 0 + 1 * 1);
    const Mat3 inv = inverse(m);
    const Vec3 v(1, -2, 7);
    expectNear(inv * (m * v), v, 1e-5f);
    const Mat3 byColumns = Mat3::fromColumns({1, 2, 3}, {4, 5, 6}, {7, 8, 10});
    EXPECT_EQ(byColumns.column(1), Vec3(4, 5, 6));
    EXPECT_EQ(byColumns.row(0), Vec3(1, 4, 7));
}
