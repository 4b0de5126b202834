#include "render/CSSD.h"

#include "render/BoxTests.h"
#include "render/Camera.h"
#include "render/CutPlane.h"
#include "volume/CVolume.h"

#include <algorithm>
#include <cmath>

namespace v3d {

CSSD::CSSD(RenderHost& view, const CVolume& vol, const Camera& cam, RenderWorkspace& ws, const uint8_t* shadeTable)
    : CRaycaster(view, vol, cam, ws, shadeTable), shade(new float[RenderWorkspace::kWideCount]()) {}

CSSD::~CSSD() { stopBackgroundPass(); }

int CSSD::render(int w, int h, int coarse, int limit, ProgressSink* progress) {
    stopBackgroundPass();  // the light may not change under a running pass
    lightDirection = camera->getUnitView();
    return progressiveRender(w, h, coarse, limit, progress);
}

int CSSD::refineRemaining() { return castSkippedPixels(); }

void CSSD::castAndShade(int x, int y, Vec3 start, const Vec3& origin) {
    const Vec3& direction = workspace->rayDir[RenderWorkspace::index(x, y)];
    castSurface(x, y, start, direction, origin);
    shade[RenderWorkspace::wide(x, y)] = surfaceShade(x, y, start, direction);
}

void CSSD::castFirstPass(int x, int y) {
    const Vec3& origin = workspace->rayStart[RenderWorkspace::index(x, y)];
    castAndShade(x, y, origin, origin);
}

void CSSD::retracePixel(int x, int y) {
    const Vec3 origin = pixelOrigin(x, y);
    castAndShade(x, y, origin, origin);
}

void CSSD::refinePixel(int x, int y, int ax, int ay, int bx, int by, int step) {
    RenderWorkspace& ws = *workspace;
    const int a = RenderWorkspace::wide(ax, ay), b = RenderWorkspace::wide(bx, by), p = RenderWorkspace::wide(x, y);
    const int limit = std::min(renderCoarseStep, interpolationLimit);
    const int doneSum = ws.done[a] + ws.done[b];
    if (step < limit && shade[a] >= 0.1f && shade[b] >= 0.1f && std::fabs(ws.depth[a] - ws.depth[b]) <= 20.0f &&
        doneSum < 2) {
        ws.depth[p] = 0.5f * (ws.depth[a] + ws.depth[b]);
        shade[p] = 0.5f * (shade[a] + shade[b]);
        ws.value[p] = (ws.value[a] + ws.value[b]) / 2;
        return;
    }
    const int i = RenderWorkspace::index(x, y);
    const Vec3 origin = ws.rayStart[i];
    const float d = std::min(ws.depth[a], ws.depth[b]);
    const Vec3 start = d > 0.0f && doneSum < 3 ? origin + ws.rayDir[i] * d : origin;
    castAndShade(x, y, start, origin);
}

void CSSD::castSurface(int x, int y, Vec3& P, const Vec3& D, const Vec3& O) {
    RenderWorkspace& ws = *workspace;
    const int i = RenderWorkspace::index(x, y);
    const int w = RenderWorkspace::wide(x, y);
    const float e = ws.entryDistance[i];
    const float X = ws.exitDistance[i];
    ws.done[w] = 0;
    if (e < 0.0f) {
        ws.depth[w] = RenderWorkspace::kMissDepth;
        ws.value[w] = RenderWorkspace::kNoValue;
        return;
    }
    float dist = 0.0f;
    placeOnSegment(i, P, O, dist);
    ws.value[w] = static_cast<int>(volume->sampleTrilinear(P));
    if (ws.value[w] >= static_cast<int>(volume->isoStored)) {
        ws.depth[w] = dist;
        ws.done[w] = 2;
        return;
    }
    ws.value[w] = RenderWorkspace::kNoValue;
    CVolume::beginRay();
    const bool reachable = volume->hasIsoReach();
    const Vec3 inverse = EmptySpaceBlocks::inverseOf(D);
    for (;;) {
        if (X > dist) {
            // Empty space on locals: stored through the references, P, D and
            // the step count would be written and read again every step, as
            // the mask bytes might alias them. Within the reach of an empty
            // block the cells are not tested at all: the same positions,
            // steps and distances, the same float adds in the same order.
            Vec3 p = P;
            const Vec3 d = D;
            float t = dist;
            int32_t steps = 0;
            for (;;) {
                int run = 0;
                if (reachable) {
                    const int reach = volume->isoReach(p);
                    if (reach > 0) run = EmptySpaceBlocks::stepsInsideReach(p, d, inverse, reach);
                }
                if (run == 0) {
                    if (!volume->cellBelowIso(p)) break;
                    run = 1;
                }
                bool ended = false;
                do {
                    ++steps;
                    p += d;
                    t += 1.0f;
                    if (t >= X) {
                        ended = true;
                        break;
                    }
                } while (--run > 0);
                if (ended) break;
            }
            P = p;
            dist = t;
            ws.stepCount[i] += steps;
        }
        if (X <= dist) {
            ws.value[w] = RenderWorkspace::kNoValue;
            ws.depth[w] = dist;
            return;
        }
        ++ws.sampleCount[i];
        // Never back before the clipped segment's entry: what lies there is cut away.
        if (volume->marchToIso(P, D, 0, dist, e - dist) != -1) break;
    }
    ws.value[w] = static_cast<int>(volume->sampleTrilinear(P));
    ws.depth[w] = dist;
}

float CSSD::surfaceShade(int x, int y, const Vec3& P, const Vec3& D) {
    RenderWorkspace& ws = *workspace;
    const int i = RenderWorkspace::index(x, y);
    const float d = ws.depth[RenderWorkspace::wide(x, y)];
    if (d < 0.0f) {
        ws.hitKind[i] = 0;
        return 0.0f;
    }
    if (d >= ws.exitDistance[i]) return 0.0f;
    if (d == ws.entryDistance[i]) {
        const int s = ws.entrySurface[i];
        if (s >= 0) {
            const SnapshotPlane* plane = snapshot.cutPlane(s);
            ws.hitKind[i] = 2;
            return plane ? std::min(std::fabs(dot(plane->normal, D)), 1.0f) : 0.0f;
        }
        if (s >= -7 && s <= -2) {
            ws.hitKind[i] = 3;
            return std::min(std::fabs(dot(volume->boundaryNormals[s + 7], D)), 1.0f);
        }
    }
    ws.hitKind[i] = 1;
    const float lit = dot(lightDirection, volume->normalAt(P));
    return lit > 0.0f ? lit : 0.0f;
}

float CSSD::depthFade(const CVolume& volume, bool perspective, const Vec3& origin, const Vec3& direction, float depth) {
    // Measured in the volume's isotropic space, where the diagonal is: the
    // rays live in index space, which is stretched along thick slices.
    const Vec3 O = volume.axisMatrix * origin;
    const float d = depth * length(volume.axisMatrix * direction);
    const Vec3 C = volume.center();
    const float N = length(volume.extent);
    const float h = N / 2.0f;
    const float fromCentre = length(O - C);
    float dd = d;
    if (fromCentre > h) dd = std::max(d - (fromCentre - h), 0.0f);
    if (!perspective && fromCentre < h) dd = std::max(h - fromCentre + dd, 0.0f);
    return 1.0f - std::min(dd / (1.5f * N), 1.0f);
}

void CSSD::shadePixel(int x, int y) {
    const int mode = snapshot.diagnosticMode();
    if (mode >= 0) {
        diagnosticColour(x, y, mode, 255, 6);
        return;
    }
    const RenderWorkspace& ws = *workspace;
    const int i = RenderWorkspace::index(x, y);
    const int w = RenderWorkspace::wide(x, y);
    const float depth = ws.depth[w];
    if (depth >= ws.exitDistance[i] || depth < 0.0f) {
        parentView->setPixel(x, y, 0, 0, 0);
        return;
    }
    if (depth == ws.entryDistance[i] && snapshot.opaqueOnSurface) {
        const uint8_t g = windowGrey(ws.value[w], volume->windowLowStored, volume->windowHighStored);
        parentView->setPixel(x, y, g, g, g);
        return;
    }
    float s = shade[w];
    if (s < 0.15f) s = 0.15f;
    float f = 1.0f;
    if (camera->perspective ? snapshot.shadowsPerspective : snapshot.shadowsParallel)
        f = depthFade(*volume, camera->perspective, camera->rayOriginForPixel(x, width, y, height), ws.rayDir[i], depth);
    const int index = static_cast<int>(f * 255.0f * s) % 256;
    parentView->setPixel(x, y, redTable[index], greenTable[index], blueTable[index]);
}

}  // namespace v3d
