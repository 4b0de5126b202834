#pragma once
// The per-view arrays a render fills, shared by the view's three renderers.
// Indexing is x-major. The first group is 576 wide so that neighbours at
// x + step and y + step of the last column and row (steps up to 64) stay in
// the arrays; the second group is 512 x 512.

#include "render/math/Vec3.h"
#include "volume/BulkMemory.h"

#include <cstdint>

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

    // Arrays of kWideCount (first group) or kCount entries, all in one
    // block of bulk memory; the rest start zeroed.
    float* depth;
    int32_t* value;
    int32_t* done;
    Vec3* rayDir;
    Vec3* rayStart;
    Vec3* entryPoint;
    Vec3* exitPoint;
    float* entryDistance;
    float* exitDistance;
    int32_t* entrySurface;
    int32_t* stepCount;
    int32_t* sampleCount;
    int32_t* hitKind;
    float* spare;
    float* selectedPlaneDistance;

private:
    // Points the arrays into base, one after the other (null: nowhere);
    // answers the bytes they take.
    size_t placeArrays(uint8_t* base);

    BulkMemory memory_;
};

}  // namespace v3d
