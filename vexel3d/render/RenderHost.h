#pragma once
// What a renderer needs from the view it renders for. The view implements
// it; tests implement it with a plain recorder. Only invalidateFromWorker is
// called from the background pass; everything else on the view's thread,
// except that clipRay runs on the render pool's threads too, for different
// pixels at once.

#include "render/RenderSnapshot.h"
#include "render/math/Vec3.h"

#include <cstdint>

namespace v3d {

class RenderHost {
public:
    virtual ~RenderHost() = default;

    // Fills the clipping entries of pixel (x, y) for the ray (world frame);
    // writes nothing but that pixel's entries.
    virtual void clipRay(int x, int y, const Vec3& origin, const Vec3& direction) = 0;
    virtual void setPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) = 0;

    // 1 = never interrupt; 2 = refinement may stop while mouse input waits.
    virtual int interruptLevel() const = 0;
    // Whether mouse input is waiting for the view (user-interface thread).
    virtual bool mouseInputWaiting() = 0;
    // Asks for a repaint from any thread; never paints on the caller's thread.
    virtual void invalidateFromWorker() = 0;

    // What the render about to start reads of the view.
    virtual RenderSnapshot renderSnapshot() const = 0;
};

// Progress display during long renders (a dialog on the view's side).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setPosition(int position) = 0;
    virtual bool isCancelled() = 0;
};

}  // namespace v3d
