#pragma once
// Base of the three renderers: the ray set-up, the progressive coarse-to-
// fine render and the background pass that casts what the coarse grid
// skipped. Renderers supply the per-pixel casts, refinement tests and
// colouring.

#include "render/RenderHost.h"
#include "render/RenderPool.h"
#include "render/RenderSnapshot.h"
#include "render/RenderWorkspace.h"
#include "render/math/Vec3.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace v3d {

class Camera;
class CVolume;

// The renderers a view holds, by the number its state text carries.
enum RenderMode : int {
    RENDER_SSD = 0,
    RENDER_MIP = 1,
    RENDER_OPQ = 2,
};
constexpr int kRenderModeCount = 3;

class CRaycaster {
public:
    CRaycaster(RenderHost& view, const CVolume& volume, const Camera& camera, RenderWorkspace& workspace,
               const uint8_t* shadeTable /* 3 rows of 256: red, green, blue */);
    virtual ~CRaycaster();
    CRaycaster(const CRaycaster&) = delete;
    CRaycaster& operator=(const CRaycaster&) = delete;

    // Background pass body: 1 = aborted or nothing done, 0 = finished.
    virtual int refineRemaining();
    virtual int render(int width, int height, int coarseStep, int interpolationLimit, ProgressSink* progress) = 0;
    virtual void shadePixel(int x, int y) = 0;

    // Casts one pixel again at once (the value under the cursor), unless a
    // background pass is running: the pass writes the same entries and
    // casts the pixel itself. Passes start only on this thread, so a pass
    // that has ended here cannot start while the cast writes. Answers
    // whether it cast.
    bool retraceWhenIdle(int x, int y);

    // Stops a running background pass and waits until it has ended.
    void stopBackgroundPass();

    RenderHost* parentView;
    const CVolume* volume;
    const Camera* camera;
    RenderWorkspace* workspace;
    const uint8_t* redTable;
    const uint8_t* greenTable;
    const uint8_t* blueTable;
    int32_t width = 0;
    int32_t height = 0;
    int32_t widthCopy = 0;
    int32_t heightCopy = 0;
    float invWidth = 0.0f;
    float invHeight = 0.0f;
    Vec3 currentRay;
    Vec3 leftRay;
    Vec3 rightRay;
    Vec3 leftSpan;
    Vec3 leftRowStep;
    Vec3 rightSpan;
    Vec3 rightRowStep;
    Vec3 rowSpan;
    Vec3 columnStep;
    Vec3 rayOrigin;
    // Written by the background pass, read by the colour pass.
    std::atomic<int32_t> currentStep{0};
    int32_t coarseStep = 0;
    std::atomic<bool> abortRequested{false};
    std::atomic<int32_t> busyCount{0};
    bool hasImage = false;
    // The view's state when the current render started (see RenderSnapshot).
    RenderSnapshot snapshot;
    // Threads the passes run on: the machine's shared pool unless set (tests
    // compare pools of different sizes). Every pixel's cast reads only the
    // volume, the snapshot and its own workspace entries and writes only
    // its own, so the split changes no result.
    RenderPool* pool;
    // When set, the background pass stores each tile's thread CPU time in
    // microseconds here, by tile index (benchmarks model more cores with it).
    std::vector<double>* tileCostLog = nullptr;

    // Square tiles of the background pass, in pixels.
    static constexpr int kTileSize = 32;

protected:
    // The scheme shared by the progressive renderers: stop the background
    // pass, set up every ray casting the coarse grid, refine by halving, and
    // start the background pass when pixels were skipped.
    int progressiveRender(int width, int height, int coarseStep, int interpolationLimit, ProgressSink* progress);
    // Stops the background pass, then takes the view's snapshot and the size.
    void beginRender(int width, int height);
    void storeSize(int width, int height);
    // Sets up every pixel's ray and clipping; calls castFirstPass for the
    // pixels on the grid of the given step.
    void setupRays(int step);
    // Casts every pixel the coarse grid skipped exactly, tile by tile over
    // the pool; stops with 1 as soon as an abort is asked for.
    int castSkippedPixels();
    // Calls row(y) for y = first, first + stride, ... < end, split over the
    // pool when the rows hold enough pixels (pixelsPerRow each) to pay for it.
    void forEachRow(int first, int stride, int end, int pixelsPerRow, const std::function<void(int y)>& row);
    // Start point of a refinement cast: from the nearer neighbour's depth
    // when that is positive, else the ray origin.
    Vec3 refinementStart(int x, int y, int ax, int ay, int bx, int by) const;
    Vec3 pixelOrigin(int x, int y) const;
    // Moves a cast's start P (at distance dist from origin O) onto pixel i's
    // clipped segment: to the entry point when it lies before it; when it
    // starts outside the clip box beyond the entry, to the exit point.
    // Answers whether P started inside the clip box.
    bool placeOnSegment(int i, Vec3& P, const Vec3& O, float& dist) const;
    // The pixel's value through the volume's window, black for a miss.
    void shadeWindowed(int x, int y);

    // One pixel cast exactly from its origin (through retraceWhenIdle).
    virtual void retracePixel(int x, int y) = 0;
    virtual void castFirstPass(int x, int y) = 0;
    virtual void refinePixel(int x, int y, int ax, int ay, int bx, int by, int step) = 0;
    virtual void castExact(int x, int y) = 0;

    // Coarse step and interpolation limit of the render in progress.
    int renderCoarseStep = 1;
    int interpolationLimit = 1;

    // Diagnostic colouring shared by the marching renderers: step counts,
    // sample counts and hit kinds. false when the mode writes nothing.
    bool diagnosticColour(int x, int y, int mode, int stepSaturation, int sampleSaturation);

private:
    void startBackgroundPass();
    void backgroundPass();
    // Whether the refinement should stop before halving the step J.
    bool interrupted(int step);

    std::thread worker;
};

// Grey of a stored value through the window [low, high].
inline uint8_t windowGrey(int value, int low, int high) {
    float t;
    if (low == high) {
        t = value < high ? 0.0f : 1.0f;
    } else {
        t = static_cast<float>(value - low) / static_cast<float>(high - low);
        t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    }
    return static_cast<uint8_t>(t * 255.0f);
}

}  // namespace v3d
