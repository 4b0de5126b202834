#pragma once
// The view's camera: a local frame (right, up, view, position) turned into
// the world frame by `orientation`, with the rays through the image corners
// that the ray casters interpolate, and the pixel <-> point mappings.

#include "render/math/Mat3.h"
#include "render/math/Vec3.h"

namespace v3d {

// Camera axes of the turn, orbit and move operations.
enum CameraAxis : int {
    AXIS_FIRST = 1,   // right for moves; about up (homeUp) for turns and orbits
    AXIS_SECOND = 2,  // up for moves; about right for turns and orbits
    AXIS_VIEW = 3,
};

class Camera {
public:
    // The widest parallel view, in volume units.
    static constexpr float kMaxViewWidth = 1024.0f;

    explicit Camera(float fieldOfView);

    // Recomputes the world axes from the local ones, then the corner rays.
    void updateCornerRays();

    // Origin of the ray through pixel (px, py) of a w x h image: world frame
    // for the renderers, local frame for the tools and overlays.
    Vec3 rayOriginForPixel(int px, int w, int py, int h) const;
    Vec3 localRayOriginForPixel(int px, int w, int py, int h) const;

    // Pixel of a local-frame point in a w x h image; (-1, -1) and false when
    // it is behind the camera, nearer than 1 unit or outside the image.
    bool projectPoint(const Vec3& point, int w, int h, int& px, int& py) const;

    // Zoom normalised to 0..1 over the field of view (perspective) or the
    // view width (parallel).
    float getZoom() const;
    void setZoom(float zoom);

    // AXIS_FIRST = right, AXIS_SECOND = up, AXIS_VIEW = view.
    void moveAlongAxis(int axis, float distance);
    void setPosition(const Vec3& p);
    void setPosition(float x, float y, float z) { setPosition(Vec3(x, y, z)); }
    void setAxes(const Vec3& newRight, const Vec3& newUp, const Vec3& newView);
    void setHomeAxes(float rx, float ry, float rz, float ux, float uy, float uz,
                     float vx, float vy, float vz);

    void getAxes(Vec3& r, Vec3& u) const { r = right; u = up; }
    void getAxes(Vec3& r, Vec3& u, Vec3& v) const { r = right; u = up; v = view; }
    Vec3 getUnitView() const { return normalised(view); }
    void getUnitWorldAxes(Vec3& r, Vec3& u) const { r = normalised(worldRight); u = normalised(worldUp); }
    const Vec3& getCornerRay(int row, int column) const { return cornerRays[row][column]; }

    // axis 1: about up, 2: about right, 3: about view; the position stays.
    void rotateAboutOwnAxis(int axis, float degrees);
    // axis 1: about homeUp, 2: about right (refused when it would tip the
    // camera past upright), 3: about view.
    void turn(int axis, float degrees);
    // Rotation of the camera about a centre point: axis 1 about homeUp,
    // axis 2 about right (refused past upright when keepUpright).
    void orbit(int axis, float degrees, const Vec3& centre, bool keepUpright);
    // Looks along the direction with the image kept level with the home axes.
    void lookAlong(const Vec3& direction);

    Vec3 right{1, 0, 0};
    Vec3 up{0, 1, 0};
    Vec3 view{0, 0, 1};
    Vec3 worldRight;
    Vec3 worldUp;
    Vec3 worldView;
    Vec3 homeRight;
    Vec3 homeUp;
    Vec3 homeView;
    Mat3 orientation;
    Vec3 position;
    Vec3 worldPosition;
    Vec3 cornerRays[2][2];
    float fieldOfView = 75.0f;
    float viewWidth = 512.0f;
    bool perspective = false;

private:
    void finishRotation();
    // The ray origin of a pixel in the frame of eye and axes r, u.
    Vec3 pixelOrigin(const Vec3& eye, const Vec3& r, const Vec3& u, int px, int w, int py, int h) const;
};

}  // namespace v3d
