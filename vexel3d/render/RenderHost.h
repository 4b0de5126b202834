#pragma once
// What a renderer needs from the view it renders for. The view implements
// it; tests implement it with a plain recorder.

#include "render/Vec3.h"

#include <cstdint>

class CutPlane;

class RenderHost {
public:
    virtual ~RenderHost() = default;

    // Fills the clipping entries of pixel (x, y) for the ray (world frame).
    virtual void clipRay(int x, int y, const Vec3& origin, const Vec3& direction) = 0;
    virtual void setPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) = 0;

    // 1 = never interrupt; 2 = refinement may stop while mouse input waits.
    virtual int interruptLevel() const = 0;
    // Whether mouse input is waiting for the view (user-interface thread).
    virtual bool mouseInputWaiting() = 0;
    // Asks for a repaint from any thread; never paints on the caller's thread.
    virtual void invalidateFromWorker() = 0;

    virtual bool fullRange() const = 0;
    virtual int diagnosticDisplay() const = 0;
    virtual int diagnosticBuffer() const = 0;
    virtual bool shadowsPerspective() const = 0;
    virtual bool shadowsParallel() const = 0;
    virtual bool opaqueOnSurface() const = 0;
    // Cut plane of the view, or null.
    virtual const CutPlane* cutPlaneAt(int index) const = 0;
};

// Progress display during long renders (a dialog on the view's side).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setPosition(int position) = 0;
    virtual bool isCancelled() = 0;
};
