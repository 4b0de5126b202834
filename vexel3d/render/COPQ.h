#pragma once
// Opaque solid: each pixel shows the sample where its ray enters the volume
// box as cut by the cut planes, through the volume's window. One pass, no
// refinement, no background pass.

#include "render/CRaycaster.h"

namespace v3d {

class COPQ : public CRaycaster {
public:
    using CRaycaster::CRaycaster;
    ~COPQ() override;

    int render(int width, int height, int coarseStep, int interpolationLimit, ProgressSink* progress) override;
    void shadePixel(int x, int y) override;

    void entrySample(int x, int y, const Vec3& origin);

protected:
    void retracePixel(int x, int y) override;
    void castFirstPass(int x, int y) override;
    void refinePixel(int x, int y, int, int, int, int, int) override { castFirstPass(x, y); }
    void castExact(int x, int y) override { castFirstPass(x, y); }
};

}  // namespace v3d
