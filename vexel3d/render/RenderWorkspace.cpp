#include "render/RenderWorkspace.h"

#include <algorithm>

namespace v3d {

RenderWorkspace::RenderWorkspace()
    : depth(new float[kWideCount]),
      value(new int32_t[kWideCount]),
      done(new int32_t[kWideCount]),
      rayDir(new Vec3[kCount]),
      rayStart(new Vec3[kCount]),
      entryPoint(new Vec3[kCount]),
      exitPoint(new Vec3[kCount]),
      entryDistance(new float[kCount]()),
      exitDistance(new float[kCount]()),
      entrySurface(new int32_t[kCount]()),
      stepCount(new int32_t[kCount]()),
      sampleCount(new int32_t[kCount]()),
      hitKind(new int32_t[kCount]()),
      spare(new float[kCount]()),
      selectedPlaneDistance(new float[kCount]()) {
    resetWide();
}

void RenderWorkspace::resetWide() {
    std::fill_n(depth.get(), kWideCount, -30.0f);
    std::fill_n(value.get(), kWideCount, -1);
    std::fill_n(done.get(), kWideCount, 0);
}

}  // namespace v3d
