#pragma once
// The per-view arrays a render fills, shared by the view's three renderers.
// Indexing is x-major. The first group is 576 wide so that neighbours at
// x + step and y + step of the last column and row (steps up to 64) stay in
// the arrays; the second group is 512 x 512.

#include "render/math/Vec3.h"

#include <cstdint>
#include <memory>

namespace v3d {

struct RenderWorkspace {
    static constexpr int kWide = 576;
    static constexpr int kSize = 512;
    static constexpr int kWideCount = kWide * kWide;
    static constexpr int kCount = kSize * kSize;

    // Sentinels.
    static constexpr float kMissDepth = -20.0f;
    static constexpr int32_t kNoValue = -8000;

    static constexpr int wide(int x, int y) { return x * kWide + y; }
    static constexpr int index(int x, int y) { return x * kSize + y; }

    RenderWorkspace();

    // Back to the construction values of the first group (depth -30,
    // value -1, done 0): the next render starts from scratch.
    void resetWide();

    std::unique_ptr<float[]> depth;
    std::unique_ptr<int32_t[]> value;
    std::unique_ptr<int32_t[]> done;
    std::unique_ptr<Vec3[]> rayDir;
    std::unique_ptr<Vec3[]> rayStart;
    std::unique_ptr<Vec3[]> entryPoint;
    std::unique_ptr<Vec3[]> exitPoint;
    std::unique_ptr<float[]> entryDistance;
    std::unique_ptr<float[]> exitDistance;
    std::unique_ptr<int32_t[]> entrySurface;
    std::unique_ptr<int32_t[]> stepCount;
    std::unique_ptr<int32_t[]> sampleCount;
    std::unique_ptr<int32_t[]> hitKind;
    std::unique_ptr<float[]> spare;
    std::unique_ptr<float[]> selectedPlaneDistance;
};

}  // namespace v3d
