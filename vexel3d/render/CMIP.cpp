#include "render/CMIP.h"

#include "render/BoxTests.h"
#include "render/Camera.h"
#include "volume/CVolume.h"

#include <cmath>
#include <cstdlib>

namespace v3d {

CMIP::~CMIP() { stopBackgroundPass(); }

int CMIP::render(int w, int h, int coarse, int limit, ProgressSink* progress) {
    return progressiveRender(w, h, coarse, limit, progress);
}

int CMIP::refineRemaining() { return castSkippedPixels(); }

void CMIP::castFirstPass(int x, int y) {
    const int i = RenderWorkspace::index(x, y);
    castMax(x, y, workspace->rayStart[i], workspace->rayDir[i], workspace->rayStart[i], -8000);
    workspace->done[RenderWorkspace::wide(x, y)] = 1;
}

void CMIP::castExact(int x, int y) {
    const int i = RenderWorkspace::index(x, y);
    castMax(x, y, workspace->rayStart[i], workspace->rayDir[i], workspace->rayStart[i], -8000);
}

void CMIP::retracePixel(int x, int y) {
    const Vec3 origin = pixelOrigin(x, y);
    castMax(x, y, origin, workspace->rayDir[RenderWorkspace::index(x, y)], origin, -8000);
    workspace->done[RenderWorkspace::wide(x, y)] = 1;
}

void CMIP::refinePixel(int x, int y, int ax, int ay, int bx, int by, int) {
    RenderWorkspace& ws = *workspace;
    const int a = RenderWorkspace::wide(ax, ay), b = RenderWorkspace::wide(bx, by), p = RenderWorkspace::wide(x, y);
    if (std::abs(ws.value[a] - ws.value[b]) > 50 || std::fabs(ws.depth[a] - ws.depth[b]) > 20.0f) {
        const int i = RenderWorkspace::index(x, y);
        const float d = ws.depth[a] < ws.depth[b] ? ws.depth[a] : ws.depth[b];
        const int hint = d > 0.0f ? (ws.value[a] > ws.value[b] ? ws.value[a] : ws.value[b]) : -1;
        castMax(x, y, refinementStart(x, y, ax, ay, bx, by), ws.rayDir[i], ws.rayStart[i], hint);
        return;
    }
    ws.depth[p] = (ws.depth[a] + ws.depth[b]) * 0.5f;
    ws.value[p] = (ws.value[a] + ws.value[b]) / 2;
}

void CMIP::castMax(int x, int y, Vec3 P, const Vec3& D, const Vec3& O, int hint) {
    RenderWorkspace& ws = *workspace;
    const int i = RenderWorkspace::index(x, y);
    const int w = RenderWorkspace::wide(x, y);
    const float e = ws.entryDistance[i];
    const float X = ws.exitDistance[i];
    if (e < 0.0f) {
        ws.depth[w] = RenderWorkspace::kMissDepth;
        ws.value[w] = RenderWorkspace::kNoValue;
        return;
    }
    float dist = 0.0f;
    const bool hintAllowed = placeOnSegment(i, P, O, dist) && hint > 0;
    int limit, m;
    if (snapshot.fullRange) {
        limit = 65535;
        m = -1;
    } else {
        limit = volume->windowHighStored;
        if (hintAllowed && volume->windowHighStored >= hint) limit = hint;
        m = volume->windowLowStored - 1;
    }
    const float first = volume->sampleTrilinear(P);
    if (first >= static_cast<float>(limit)) {
        ws.depth[w] = dist;
        ws.value[w] = static_cast<int>(first);
        ws.done[w] = 2;
        return;
    }
    Vec3 best;
    const Vec3 inverse = EmptySpaceBlocks::inverseOf(D);
    do {
        // The sample at the cell that ends the skipping, read with its test.
        float sampled = 0.0f;
        if (X > dist) {
            // Skipped cells on locals, written back once (see CSSD::castSurface).
            const Vec3 d = D;
            int32_t steps = 0;
            for (;;) {
                // A block below the running maximum is crossed without
                // testing its cells: the same positions, steps and distances.
                int sure = volume->blockTransparent(P, m) ? EmptySpaceBlocks::stepsInside(P, d, inverse) : 0;
                if (sure == 0) {
                    sampled = volume->sampleUnlessTransparent(P, m);
                    if (sampled != CVolume::kBelowThreshold) break;
                    sure = 1;
                }
                bool ended = false;
                while (sure-- > 0) {
                    ++steps;
                    P += d;
                    dist += 1.0f;
                    if (dist >= X) {
                        ended = true;
                        break;
                    }
                }
                if (ended) break;
            }
            ws.stepCount[i] += steps;
        }
        if (X <= dist) break;
        ++ws.sampleCount[i];
        const int s = static_cast<int>(sampled);
        if (s > m) {
            m = s;
            best = P - O;  // sampled once more, then left behind
        } else {
            ++ws.stepCount[i];
            P += D;
            dist += 1.0f;
        }
    } while (m < limit);
    ws.value[w] = static_cast<int>(volume->sampleTrilinear(O + best));
    ws.depth[w] = length(best);
}

void CMIP::shadePixel(int x, int y) {
    const int mode = snapshot.diagnosticMode();
    if (mode >= 0) {
        if (mode == 3) {
            if (workspace->done[RenderWorkspace::wide(x, y)]) parentView->setPixel(x, y, 0, 64, 64);
            else parentView->setPixel(x, y, 255, 0, 0);
            return;
        }
        diagnosticColour(x, y, mode, 255, 6);
        return;
    }
    shadeWindowed(x, y);
}

}  // namespace v3d
