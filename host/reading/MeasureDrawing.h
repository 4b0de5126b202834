#pragma once

#include "Measurement.h"

namespace quarvia {

// A measurement being drawn with the mouse on one picture: a distance or an
// ellipse is a drag; a freehand outline follows the drag; an angle is a drag
// along its first arm, then a click at the end of the second.
class MeasureDrawing {
public:
    bool active() const { return m_active; }
    const Measurement& shape() const { return m_shape; }

    // The left button went down at a point of the plane.
    void press(MeasureKind kind, const std::string& seriesUid, const ImagePlane& plane, const Vec3d& point);
    // The pointer moved (with the button down or, for an angle's second arm, up).
    void move(const ImagePlane& plane, const Vec3d& point, bool buttonDown);
    // The button came up: true when the shape is complete (take it).
    bool release();
    // The shape when it has its points, each apart from the last; else empty.
    bool take(Measurement& out);
    void cancel() { m_active = false; }

private:
    Measurement m_shape;
    int m_fixedPoints = 0;
    bool m_active = false;
};

}  // namespace quarvia
