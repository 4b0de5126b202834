#include "view/ViewTools.h"

#include "render/Camera.h"
#include "view/ViewCore.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <algorithm>

namespace v3d {

namespace {

constexpr float kCameraPlace = 2.45f;

}  // namespace

bool viewIsReady(const ViewCore& view) { return view.m_pFrame && view.m_pFrame->m_bHasSeries != 0; }

bool hasControl(ViewCore& view) { return view.services().hasCollaborationControl(); }

float halfDiagonal(const ViewCore& view) {
    return view.m_pVolume ? length(view.m_pVolume->getExtent() - view.m_pVolume->center()) : 0.0f;
}

void clampSegmentationValues(int& low, int& high, int& radius) {
    low = std::clamp(low, -kMaxSegBoundHU, kMaxSegBoundHU);
    high = std::clamp(high, low, kMaxSegBoundHU);
    radius = std::clamp(radius, kMinSegRadius, kMaxSegRadius);
}

bool placeCameraNear(ViewCore& view, const Vec3& proposed) {
    if (!view.m_pCamera || !view.m_pVolume) return false;
    const Vec3 c = view.m_pVolume->center();
    const float k = halfDiagonal(view);
    const float distance = length(proposed - c);
    if (!(distance < kCameraLimit * k)) return false;
    // At the centre itself there is no direction to pull along.
    if (distance == 0.0f) {
        view.changeCamera().setPosition(c);
        return true;
    }
    view.changeCamera().setPosition(c + (proposed - c) / distance * std::min(distance, kCameraPlace * k));
    return true;
}

void turnCamera(ViewCore& view, int axis, float degrees) {
    if (!view.m_pCamera) return;
    if (view.m_prefs.noTumble)
        view.changeCamera().turn(axis, degrees);
    else
        view.changeCamera().rotateAboutOwnAxis(axis, degrees);
}

bool pushSelectedPlane(ViewCore& view, const Vec3& d) {
    const CutPlane* selected = view.planes().selected();
    if (!selected || !view.m_pVolume) return false;
    const Vec3 c = view.m_pVolume->center();
    if (!(length(selected->point + d - c) < length(c))) return false;
    CutPlaneSet& planes = view.changePlanes();
    planes.selected()->translate(d);
    planes.recentre(*view.m_pVolume, planes.m_iSelectedCutPlane);
    return true;
}

}  // namespace v3d
