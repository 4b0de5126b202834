#include "render/COPQ.h"

#include "render/Camera.h"
#include "volume/CVolume.h"

namespace v3d {

COPQ::~COPQ() { stopBackgroundPass(); }

int COPQ::render(int w, int h, int, int, ProgressSink* progress) {
    beginRender(w, h);
    setupRays(1);
    if (progress) progress->setPosition(0);
    currentStep = 1;
    hasImage = true;
    return 0;
}

void COPQ::castFirstPass(int x, int y) { entrySample(x, y, workspace->rayStart[RenderWorkspace::index(x, y)]); }

void COPQ::retracePixel(int x, int y) { entrySample(x, y, pixelOrigin(x, y)); }

void COPQ::entrySample(int x, int y, const Vec3& origin) {
    RenderWorkspace& ws = *workspace;
    const int i = RenderWorkspace::index(x, y);
    const int w = RenderWorkspace::wide(x, y);
    if (ws.entryDistance[i] < 0.0f) {
        ws.depth[w] = RenderWorkspace::kMissDepth;
        ws.value[w] = RenderWorkspace::kNoValue;
        return;
    }
    ws.depth[w] = length(ws.entryPoint[i] - origin);
    ws.value[w] = static_cast<int>(volume->sampleTrilinear(ws.entryPoint[i]));
}

void COPQ::shadePixel(int x, int y) { shadeWindowed(x, y); }

}  // namespace v3d
