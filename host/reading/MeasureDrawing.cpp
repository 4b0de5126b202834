#include "MeasureDrawing.h"

#include <cmath>

namespace quarvia {

void MeasureDrawing::press(MeasureKind kind, const std::string& seriesUid, const ImagePlane& plane, const Vec3d& point) {
    if (m_active && m_shape.kind == MeasureKind::Angle && m_fixedPoints == 2) {
        m_shape.points[2] = point;
        return;
    }
    m_shape = Measurement();
    m_shape.kind = kind;
    m_shape.seriesUid = seriesUid;
    m_shape.normal = plane.normal();
    m_shape.points = kind == MeasureKind::Freehand ? std::vector<Vec3d>{point} : std::vector<Vec3d>{point, point};
    m_fixedPoints = 1;
    m_active = true;
}

void MeasureDrawing::move(const ImagePlane& plane, const Vec3d& point, bool buttonDown) {
    if (!m_active) return;
    if (m_shape.kind != MeasureKind::Freehand) {
        m_shape.points.back() = point;
        return;
    }
    if (!buttonDown) return;
    // A new outline point each pixel the pointer travels.
    double c, r, lc, lr;
    plane.pixelOf(point, c, r);
    plane.pixelOf(m_shape.points.back(), lc, lr);
    if (std::hypot(c - lc, r - lr) >= 1.0) m_shape.points.push_back(point);
}

bool MeasureDrawing::release() {
    if (!m_active) return false;
    if (m_shape.kind == MeasureKind::Angle && m_fixedPoints == 1) {
        m_fixedPoints = 2;
        m_shape.points.push_back(m_shape.points.back());
        return false;
    }
    return true;
}

bool MeasureDrawing::take(Measurement& out) {
    m_active = false;
    const size_t needed = m_shape.kind == MeasureKind::Distance || m_shape.kind == MeasureKind::Ellipse ? 2 : 3;
    if (m_shape.points.size() < needed) return false;
    // A click without a drag measures nothing.
    if (m_shape.kind != MeasureKind::Freehand)
        for (size_t i = 1; i < m_shape.points.size(); ++i)
            if (norm(sub(m_shape.points[i], m_shape.points[i - 1])) <= 1e-6) return false;
    out = std::move(m_shape);
    m_shape = Measurement();
    return true;
}

}  // namespace quarvia
