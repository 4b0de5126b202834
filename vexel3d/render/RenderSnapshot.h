#pragma once
// Everything a render reads besides the volume and the workspace, copied
// when the render starts: the background pass never calls back into the
// view, and the view may change its preferences and cut planes while a pass
// runs without either side seeing half a change.

#include "render/CutPlane.h"
#include "render/math/Vec3.h"

#include <array>

namespace v3d {

struct SnapshotPlane {
    Vec3 point;
    Vec3 normal;
};

struct RenderSnapshot {
    bool fullRange = false;
    int diagnosticDisplay = -1;
    int diagnosticBuffer = 0;
    bool shadowsPerspective = true;
    bool shadowsParallel = false;
    bool opaqueOnSurface = true;
    int cutPlaneCount = 0;
    std::array<SnapshotPlane, kMaxCutPlanes> cutPlanes{};

    // Cut plane of the view at the render's start, or null.
    const SnapshotPlane* cutPlane(int index) const {
        return index >= 0 && index < cutPlaneCount ? &cutPlanes[static_cast<size_t>(index)] : nullptr;
    }
    // The diagnostic buffer shown, or -1 for the normal picture.
    int diagnosticMode() const { return diagnosticDisplay > 0 ? diagnosticBuffer : -1; }
};

}  // namespace v3d
