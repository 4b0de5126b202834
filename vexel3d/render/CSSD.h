#pragma once
// Shaded surface display: each ray stops where the interpolated volume first
// reaches the iso threshold; the point is lit by a headlight along the view
// with the smoothed gradient normal, darkened with depth, and coloured
// through the view's shade table. Entry surfaces (cut planes, box faces)
// already in material are lit by their plane or shown as grey sections.

#include "render/CRaycaster.h"

#include <memory>

namespace v3d {

class CSSD : public CRaycaster {
public:
    CSSD(RenderHost& view, const CVolume& volume, const Camera& camera, RenderWorkspace& workspace, const uint8_t* shadeTable);
    ~CSSD() override;

    int refineRemaining() override;
    int render(int width, int height, int coarseStep, int interpolationLimit, ProgressSink* progress) override;
    void shadePixel(int x, int y) override;

    // The surface search; moves start to the final point.
    void castSurface(int x, int y, Vec3& start, const Vec3& direction, const Vec3& origin);
    // Lit intensity 0..1 of the pixel's result.
    float surfaceShade(int x, int y, const Vec3& point, const Vec3& direction);

    // Darkening with depth (1 near, 0 far): depth counted from where the ray
    // meets the sphere around the volume (for a parallel camera inside it,
    // from the sphere's near side), reaching 0 one and a half diagonals on.
    static float depthFade(const CVolume& volume, bool perspective, const Vec3& origin, const Vec3& direction,
                           float depth);

    Vec3 lightDirection;
    std::unique_ptr<float[]> shade;  // 576 x 576, x-major

protected:
    void retracePixel(int x, int y) override;
    void castFirstPass(int x, int y) override;
    void refinePixel(int x, int y, int ax, int ay, int bx, int by, int step) override;
    void castExact(int x, int y) override { castFirstPass(x, y); }

private:
    void castAndShade(int x, int y, Vec3 start, const Vec3& origin);
};

}  // namespace v3d
