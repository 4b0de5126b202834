#pragma once
// The view's cut planes (at most 16), their selection, the centre of a
// plane's section through the volume, and the per-pixel clipping of rays
// against the volume box and the planes.

#include "render/CutPlane.h"
#include "render/math/Vec3.h"

#include <array>

namespace v3d {

class CVolume;
struct RenderWorkspace;

class CutPlaneSet {
public:
    static constexpr int kMaxPlanes = 16;

    // Appends a plane, recentred, and selects it; false (nothing added) at
    // the limit.
    bool add(const CVolume& volume, const Vec3& anchor, const Vec3& point, const Vec3& normal);
    // Moves plane index to the centre of its section (see CutPlane::recentre).
    void recentre(const CVolume& volume, int index);
    void deleteSelectedCutPlane();
    void deleteAllCutPlanes();
    // Selects the last plane and deletes the selected one until none is left.
    void resetCutPlanes();

    CutPlane* at(int index);
    const CutPlane* at(int index) const;
    CutPlane* selected() { return at(m_iSelectedCutPlane); }
    const CutPlane* selected() const { return at(m_iSelectedCutPlane); }

    // Centre of the plane's section through the volume box and the other
    // planes; false when no two section lines meet inside the box.
    bool sectionCentre(const CVolume& volume, const CutPlane& plane, Vec3& centre) const;

    // Fills the clipping entries of pixel (x, y) of the workspace for the ray
    // O + t D. The selected plane is tracked only in cut-plane mode.
    void clipRay(const CVolume& volume, RenderWorkspace& workspace, bool cutPlaneMode, int x, int y, const Vec3& origin,
                 const Vec3& direction) const;

    std::array<CutPlane, kMaxPlanes> m_cutPlanes{};
    int m_iNumCutPlanes = 0;
    int m_iSelectedCutPlane = -1;
};

}  // namespace v3d
