#pragma once
// Maximum intensity projection: each pixel shows the largest sample along
// its clipped ray, through the volume's window.

#include "render/CRaycaster.h"

namespace v3d {

class CMIP : public CRaycaster {
public:
    using CRaycaster::CRaycaster;
    ~CMIP() override;

    int refineRemaining() override;
    int render(int width, int height, int coarseStep, int interpolationLimit, ProgressSink* progress) override;
    void shadePixel(int x, int y) override;

    // The cast: hint is -8000 for an exact cast, else the larger neighbour
    // value of a refinement (-1 when it starts at the origin).
    void castMax(int x, int y, Vec3 start, const Vec3& direction, const Vec3& origin, int hint);

protected:
    void retracePixel(int x, int y) override;
    void castFirstPass(int x, int y) override;
    void refinePixel(int x, int y, int ax, int ay, int bx, int by, int step) override;
    void castExact(int x, int y) override;
};

}  // namespace v3d
