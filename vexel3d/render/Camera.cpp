#include "render/Camera.h"

#include <algorithm>
#include <cmath>

namespace v3d {

namespace {
constexpr float kMinFov = 30.0f, kMaxFov = 150.0f;
constexpr float kMinViewWidth = 16.0f, kMaxViewWidth = Camera::kMaxViewWidth;
// The image plane of the perspective camera is 1000 x 1000 units.
constexpr float kHalfPlane = 500.0f;
}

Camera::Camera(float fov)
    : orientation(Mat3::identity()), fieldOfView(fov)
{
    updateCornerRays();
    position = Vec3();
    worldPosition = Vec3();
}

void Camera::updateCornerRays()
{
    worldRight = orientation * right;
    worldUp = orientation * up;
    worldView = orientation * view;
    if (perspective) {
        const float d = 1000.0f / (2.0f * std::tan(fieldOfView * kDegreesToRadians / 2.0f));
        for (int row = 0; row < 2; ++row) {
            const float sy = row == 0 ? -kHalfPlane : kHalfPlane;
            for (int col = 0; col < 2; ++col) {
                const float sx = col == 0 ? -kHalfPlane : kHalfPlane;
                cornerRays[row][col] = orientation * (right * sx + up * sy + view * d);
            }
        }
    } else {
        const Vec3 ray = worldView * 1000.0f;
        cornerRays[0][0] = cornerRays[0][1] = cornerRays[1][0] = cornerRays[1][1] = ray;
    }
}

Vec3 Camera::pixelOrigin(const Vec3& eye, const Vec3& r, const Vec3& u, int px, int w, int py, int h) const
{
    if (perspective)
        return eye;
    const float dx = float(px - w / 2) / float(w) * viewWidth;
    const float dy = float(py - h / 2) / float(h) * viewWidth;
    return eye + r * dx + u * dy;
}

Vec3 Camera::rayOriginForPixel(int px, int w, int py, int h) const
{
    return pixelOrigin(worldPosition, worldRight, worldUp, px, w, py, h);
}

Vec3 Camera::localRayOriginForPixel(int px, int w, int py, int h) const
{
    return pixelOrigin(position, right, up, px, w, py, h);
}

bool Camera::projectPoint(const Vec3& point, int w, int h, int& px, int& py) const
{
    px = py = -1;
    const Vec3 rel = point - position;
    const float dR = dot(rel, right);
    const float dU = dot(rel, up);
    const float dV = dot(rel, view);
    if (!(dV >= 1.0f))
        return false;
    const float halfW = float(w / 2), halfH = float(h / 2);
    if (perspective) {
        const float f = float(w) / (2.0f * std::tan(fieldOfView * kDegreesToRadians / 2.0f));
        const float s = dV / f;
        const float x = dR / s, y = dU / s;
        if (std::fabs(x) > halfW || std::fabs(y) > halfW)
            return false;
        px = int(halfW + x);
        py = int(y + halfH);
    } else {
        const float x = dR / viewWidth, y = dU / viewWidth;
        if (std::fabs(x) > 0.99f || std::fabs(y) > 0.99f)
            return false;
        px = int(x * float(w) + halfW);
        py = int(y * float(h) + halfH);
    }
    return true;
}

float Camera::getZoom() const
{
    if (perspective)
        return (fieldOfView - kMinFov) / (kMaxFov - kMinFov);
    return (viewWidth - kMinViewWidth) / (kMaxViewWidth - kMinViewWidth);
}

void Camera::setZoom(float zoom)
{
    if (perspective) {
        fieldOfView = std::clamp(zoom * (kMaxFov - kMinFov) + kMinFov, kMinFov, kMaxFov);
        updateCornerRays();
    } else {
        // Parallel corner rays do not depend on the width.
        viewWidth = std::clamp(zoom * (kMaxViewWidth - kMinViewWidth) + kMinViewWidth,
                               kMinViewWidth, kMaxViewWidth);
    }
}

void Camera::moveAlongAxis(int axis, float distance)
{
    const Vec3* along = axis == AXIS_FIRST ? &right : axis == AXIS_SECOND ? &up : axis == AXIS_VIEW ? &view : nullptr;
    if (!along)
        return;
    position += *along * distance;
    worldPosition = orientation * position;
}

void Camera::setPosition(const Vec3& p)
{
    position = p;
    worldPosition = orientation * position;
}

void Camera::setAxes(const Vec3& newRight, const Vec3& newUp, const Vec3& newView)
{
    right = newRight;
    up = newUp;
    view = newView;
    updateCornerRays();
}

void Camera::setHomeAxes(float rx, float ry, float rz, float ux, float uy, float uz,
                         float vx, float vy, float vz)
{
    homeRight = {rx, ry, rz};
    homeUp = {ux, uy, uz};
    homeView = {vx, vy, vz};
}

void Camera::finishRotation()
{
    normalise(right);
    normalise(up);
    normalise(view);
    updateCornerRays();
    worldPosition = orientation * position;
}

void Camera::rotateAboutOwnAxis(int axis, float degrees)
{
    if (axis == AXIS_FIRST) {
        const Mat3 R = rotation(up, degrees);
        right = R * right;
        view = R * view;
    } else if (axis == AXIS_SECOND) {
        const Mat3 R = rotation(right, degrees);
        up = R * up;
        view = R * view;
    } else if (axis == AXIS_VIEW) {
        const Mat3 R = rotation(view, degrees);
        right = R * right;
        up = R * up;
    }
    finishRotation();
}

void Camera::turn(int axis, float degrees)
{
    if (axis == AXIS_FIRST) {
        const Mat3 R = rotation(homeUp, degrees);
        right = R * right;
        up = R * up;
        view = R * view;
    } else if (axis == AXIS_SECOND) {
        const Mat3 R = rotation(right, degrees);
        const Vec3 newUp = R * up;
        if (dot(newUp, homeUp) <= 0.0f)
            return;
        up = newUp;
        view = R * view;
    } else if (axis == AXIS_VIEW) {
        const Mat3 R = rotation(view, degrees);
        right = R * right;
        up = R * up;
    }
    finishRotation();
}

void Camera::orbit(int axis, float degrees, const Vec3& centre, bool keepUpright)
{
    if (axis == AXIS_FIRST) {
        const Mat3 R = rotation(homeUp, degrees);
        right = R * right;
        up = R * up;
        view = R * view;
        position = centre + R * (position - centre);
    } else if (axis == AXIS_SECOND) {
        const Mat3 R = rotation(right, degrees);
        const Vec3 newUp = R * up;
        if (keepUpright && dot(newUp, homeUp) <= 0.0f)
            return;
        up = newUp;
        view = R * view;
        position = centre + R * (position - centre);
    }
    finishRotation();
}

void Camera::lookAlong(const Vec3& direction)
{
    view = direction;
    if (approximatelyEqual(direction, homeView)) {
        right = homeRight;
        up = homeUp;
    } else if (approximatelyEqual(direction, negate(homeView))) {
        right = negate(homeRight);
        up = homeUp;
    } else {
        const Vec3 r = rotation(homeUp, -90.0f) * direction;
        Vec3 level = homeView * dot(homeView, r) + homeRight * dot(homeRight, r);
        // Looking straight along homeUp leaves no level direction to take the
        // right axis from: any horizontal one will do, and homeRight keeps
        // the camera from turning into NaNs.
        if (length(level) < 1e-6f)
            level = homeRight;
        right = normalise(level);
        up = cross(view, right);
    }
    updateCornerRays();
}

}  // namespace v3d
