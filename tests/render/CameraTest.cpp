#include "render/Camera.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace v3d;

namespace {

void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

void expectOrthonormal(const Camera& c)
{
    EXPECT_NEAR(length(c.right), 1.0f, 1e-5f);
    EXPECT_NEAR(length(c.up), 1.0f, 1e-5f);
    EXPECT_NEAR(length(c.view), 1.0f, 1e-5f);
    EXPECT_NEAR(dot(c.right, c.up), 0.0f, 1e-5f);
    EXPECT_NEAR(dot(c.right, c.view), 0.0f, 1e-5f);
    EXPECT_NEAR(dot(c.up, c.view), 0.0f, 1e-5f);
}

Camera homeCamera()
{
    Camera c(75);
    c.setHomeAxes(1, 0, 0, 0, 1, 0, 0, 0, 1);
    return c;
}

bool sameState(const Camera& a, const Camera& b)
{
    return a.right == b.right && a.up == b.up && a.view == b.view && a.position == b.position
        && a.worldPosition == b.worldPosition && a.cornerRays[0][0] == b.cornerRays[0][0];
}

} // namespace

TEST(Camera, NewCameraIsParallelWithDefaultWidth)
{
    const Camera c(75);
    EXPECT_FALSE(c.perspective);
    EXPECT_FLOAT_EQ(c.getZoom(), (512.0f - 16.0f) / 1008.0f);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(c.cornerRays[i][j], Vec3(0, 0, 1000));
}

TEST(Camera, PerspectiveCornersSpanTheImagePlane)
{
    Camera c(90);
    c.perspective = true;
    c.updateCornerRays();
    // 90 degrees: the 1000-unit plane sits at distance 500.
    expectNear(c.cornerRays[0][0], Vec3(-500, -500, 500), 1e-2f);
    expectNear(c.cornerRays[0][1], Vec3(500, -500, 500), 1e-2f);
    expectNear(c.cornerRays[1][0], Vec3(-500, 500, 500), 1e-2f);
    // The world frame follows the orientation.
    c.orientation = rotation(Vec3(0, 1, 0), 90);
    c.updateCornerRays();
    expectNear(c.worldView, Vec3(-1, 0, 0));
    expectNear(c.cornerRays[1][1], c.orientation * Vec3(500, 500, 500), 1e-2f);
}

TEST(Camera, ZoomClampsToItsRange)
{
    Camera c(75);
    c.setZoom(2.0f);
    EXPECT_FLOAT_EQ(c.viewWidth, 1024.0f);
    c.setZoom(-1.0f);
    EXPECT_FLOAT_EQ(c.viewWidth, 16.0f);
    c.perspective = true;
    c.setZoom(2.0f);
    EXPECT_FLOAT_EQ(c.fieldOfView, 150.0f);
    c.setZoom(-1.0f);
    EXPECT_FLOAT_EQ(c.fieldOfView, 30.0f);
    c.setZoom(0.5f);
    EXPECT_FLOAT_EQ(c.getZoom(), 0.5f);
}

TEST(Camera, TurnPastUprightLeavesCameraUnchanged)
{
    for (float degrees : {90.5f, 120.0f, -100.0f, 180.0f}) {
        Camera c = homeCamera();
        c.setPosition(1, 2, 3);
        const Camera before = c;
        c.turn(2, degrees);
        EXPECT_TRUE(sameState(before, c)) << degrees;
        c.orbit(2, degrees, Vec3(5, 5, 5), true);
        EXPECT_TRUE(sameState(before, c)) << degrees;
    }
    Camera c = homeCamera();
    c.turn(2, 30);
    EXPECT_NEAR(dot(c.up, Vec3(0, 1, 0)), std::cos(30 * kDegreesToRadians), 1e-5f);
    expectOrthonormal(c);
}

// Turns of 7 degrees add up to 84 after twelve; the thirteenth would tip
// the camera past upright and is refused, and so is every one after it.
TEST(Camera, RepeatedSevenDegreeVerticalTurnsStopShortOfUpright)
{
    const float stopped = std::cos(84.0f * kDegreesToRadians);
    for (float step : {7.0f, -7.0f}) {
        Camera turned = homeCamera();
        Camera orbited = homeCamera();
        orbited.setPosition(5, 5, -40);
        for (int i = 0; i < 20; ++i) {
            turned.turn(2, step);
            orbited.orbit(2, step, Vec3(5, 5, 5), true);
        }
        for (const Camera* c : {&turned, &orbited}) {
            EXPECT_NEAR(dot(c->up, c->homeUp), stopped, 1e-4f) << step;
            EXPECT_GT(dot(c->up, c->homeUp), 0.0f) << step;
            expectOrthonormal(*c);
        }
        EXPECT_NEAR(length(orbited.position - Vec3(5, 5, 5)), 45.0f, 1e-3f);
    }
}

TEST(Camera, OrbitKeepsLookingAtTheCentre)
{
    const Vec3 centre(10, 20, 30);
    Camera c = homeCamera();
    c.setPosition(centre - Vec3(0, 0, 50));
    c.orbit(1, 90, centre, true);
    expectNear(c.position, centre + Vec3(50, 0, 0));
    expectNear(c.view, Vec3(-1, 0, 0));
    c.orbit(2, 40, centre, true);
    expectNear(normalised(centre - c.position), c.view);
    EXPECT_NEAR(length(centre - c.position), 50.0f, 1e-3f);
    // Without the upright constraint the camera may tumble over the top.
    c.orbit(2, 120, centre, false);
    expectNear(normalised(centre - c.position), c.view);
    EXPECT_LT(dot(c.up, c.homeUp), 0.0f);
    expectOrthonormal(c);
}

TEST(Camera, RotateAboutOwnAxisKeepsThePosition)
{
    Camera c = homeCamera();
    c.setPosition(4, 5, 6);
    c.rotateAboutOwnAxis(3, 90);
    expectNear(c.view, Vec3(0, 0, 1));
    expectNear(c.right, rotation(Vec3(0, 0, 1), 90) * Vec3(1, 0, 0));
    EXPECT_EQ(c.position, Vec3(4, 5, 6));
    c.rotateAboutOwnAxis(1, 25);
    c.rotateAboutOwnAxis(2, -60);
    expectOrthonormal(c);
}

TEST(Camera, LookAlongHomeViewAndItsOpposite)
{
    Camera c = homeCamera();
    c.setHomeAxes(0, 0, -1, 1, 0, 0, 0, 1, 0);
    c.turn(1, 33);
    c.lookAlong(c.homeView);
    EXPECT_EQ(c.right, c.homeRight);
    EXPECT_EQ(c.up, c.homeUp);
    EXPECT_EQ(c.view, c.homeView);
    c.lookAlong(negate(c.homeView));
    EXPECT_EQ(c.right, negate(c.homeRight));
    EXPECT_EQ(c.up, c.homeUp);
}

TEST(Camera, LookAlongKeepsTheImageLevel)
{
    Camera c = homeCamera();
    c.lookAlong(Vec3(1, 0, 0));
    expectNear(c.up, Vec3(0, 1, 0));
    expectNear(c.right, Vec3(0, 0, -1));
    // right x up = view, as in the home frame.
    expectNear(cross(c.right, c.up), c.view);
    c.lookAlong(normalised(Vec3(1, -1, 1)));
    EXPECT_NEAR(dot(c.right, c.homeUp), 0.0f, 1e-5f);
    expectOrthonormal(c);
}

TEST(Camera, LookAlongHomeUpStaysFinite)
{
    // Straight down the vertical axis there is no level right axis.
    Camera c = homeCamera();
    c.lookAlong(Vec3(0, 1, 0));
    EXPECT_TRUE(std::isfinite(c.right.x) && std::isfinite(c.up.z));
    expectOrthonormal(c);
    expectNear(cross(c.right, c.up), c.view);
}

TEST(Camera, ProjectPointBehindOrTooNearIsRejected)
{
    for (bool perspective : {false, true}) {
        Camera c = homeCamera();
        c.perspective = perspective;
        c.updateCornerRays();
        c.setPosition(0, 0, -100);
        int px = 0, py = 0;
        EXPECT_FALSE(c.projectPoint(Vec3(0, 0, -150), 256, 256, px, py));
        EXPECT_EQ(px, -1);
        EXPECT_EQ(py, -1);
        EXPECT_FALSE(c.projectPoint(Vec3(0, 0, -99.5f), 256, 256, px, py));
        EXPECT_EQ(px, -1);
        ASSERT_TRUE(c.projectPoint(Vec3(0, 0, 0), 256, 256, px, py));
        EXPECT_EQ(px, 128);
        EXPECT_EQ(py, 128);
    }
}

TEST(Camera, ParallelPixelAndPointMapBackAndForth)
{
    Camera c = homeCamera();
    c.setPosition(10, 20, -300);
    const Vec3 origin = c.localRayOriginForPixel(96, 256, 200, 256);
    expectNear(origin, Vec3(10 - 64, 20 + 144, -300));
    int px = 0, py = 0;
    ASSERT_TRUE(c.projectPoint(origin + c.view * 40.0f, 256, 256, px, py));
    EXPECT_EQ(px, 96);
    EXPECT_EQ(py, 200);
    // The world form turns with the orientation; the perspective form is the eye.
    c.orientation = rotation(Vec3(0, 1, 0), 90);
    c.setPosition(c.position);
    c.updateCornerRays();
    expectNear(c.rayOriginForPixel(96, 256, 200, 256), c.orientation * origin, 1e-3f);
    c.perspective = true;
    EXPECT_EQ(c.rayOriginForPixel(3, 256, 7, 256), c.worldPosition);
}

TEST(Camera, PerspectiveProjectionOutsideTheImageIsRejected)
{
    Camera c = homeCamera();
    c.perspective = true;
    c.fieldOfView = 90;
    c.updateCornerRays();
    int px = 0, py = 0;
    // f = 128 for a 256-wide image: 10 units to the side at depth 10 is the edge.
    ASSERT_TRUE(c.projectPoint(Vec3(5.1f, -4.9f, 10), 256, 256, px, py));
    EXPECT_EQ(px, 128 + 65);
    EXPECT_EQ(py, 128 - 63);
    EXPECT_FALSE(c.projectPoint(Vec3(10.5f, 0, 10), 256, 256, px, py));
}

TEST(Camera, MoveAlongAxisFollowsTheAxes)
{
    Camera c = homeCamera();
    c.orientation = rotation(Vec3(0, 0, 1), 90);
    c.rotateAboutOwnAxis(1, 90);
    c.moveAlongAxis(3, 10);
    expectNear(c.position, c.view * 10.0f);
    expectNear(c.worldPosition, c.orientation * c.position);
    c.moveAlongAxis(1, -2);
    expectNear(c.position, c.view * 10.0f - c.right * 2.0f);
}
