#include "OverlayPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace quarvia {

namespace {
constexpr double kCursorArm = 14, kCursorGap = 4, kCrossingGap = 12;
const QColor kMeasureColour(255, 230, 60);
const QColor kCursorColour(255, 60, 200);
}  // namespace

QPointF ScreenMap::toScreen(double column, double row) const {
    return QPointF(rect.left() + (column + 0.5) * rect.width() / columns, rect.top() + (row + 0.5) * rect.height() / rows);
}

void ScreenMap::toPixel(const QPointF& at, double& column, double& row) const {
    column = (at.x() - rect.left()) * columns / rect.width() - 0.5;
    row = (at.y() - rect.top()) * rows / rect.height() - 0.5;
}

QColor colourOfPlane(PlaneKind kind) {
    switch (kind) {
    case PlaneKind::Axial: return QColor(235, 80, 80);
    case PlaneKind::Coronal: return QColor(80, 210, 90);
    case PlaneKind::Sagittal: return QColor(90, 150, 255);
    case PlaneKind::Acquired: break;
    }
    return QColor(255, 170, 0);
}

void paintPlaneLine(QPainter& painter, const ScreenMap& map, const ImagePlane& plane, const ImagePlane& other,
                    const QColor& colour, bool dashed, const QPointF* around) {
    std::array<double, 4> ends;
    if (!intersectionInPixels(plane, other, ends)) return;
    const QPointF a = map.toScreen(ends[0], ends[1]), b = map.toScreen(ends[2], ends[3]);
    QPen pen(colour, 1.0, dashed ? Qt::DashLine : Qt::SolidLine);
    painter.setPen(pen);
    if (!around) return painter.drawLine(a, b);
    // Two pieces with the crossing left open, so the point itself stays visible.
    const QPointF d = b - a;
    const double length = std::hypot(d.x(), d.y());
    if (length < 1) return;
    const QPointF unit = d / length;
    const double t = QPointF::dotProduct(*around - a, unit);
    painter.drawLine(a, a + unit * std::max(0.0, t - kCrossingGap));
    painter.drawLine(a + unit * std::min(length, t + kCrossingGap), b);
}

void paintCursorMark(QPainter& painter, const QPointF& at) {
    painter.setPen(QPen(kCursorColour, 1.5));
    painter.drawLine(at - QPointF(kCursorArm, 0), at - QPointF(kCursorGap, 0));
    painter.drawLine(at + QPointF(kCursorGap, 0), at + QPointF(kCursorArm, 0));
    painter.drawLine(at - QPointF(0, kCursorArm), at - QPointF(0, kCursorGap));
    painter.drawLine(at + QPointF(0, kCursorGap), at + QPointF(0, kCursorArm));
}

void paintMeasurement(QPainter& painter, const ScreenMap& map, const ImagePlane& plane, const Measurement& m) {
    QPolygonF points;
    for (const Vec3d& p : m.points) {
        double c, r;
        plane.pixelOf(p, c, r);
        points << map.toScreen(c, r);
    }
    if (points.isEmpty()) return;
    painter.setPen(QPen(kMeasureColour, 1.5));
    painter.setBrush(Qt::NoBrush);
    switch (m.kind) {
    case MeasureKind::Distance:
    case MeasureKind::Angle: painter.drawPolyline(points); break;
    case MeasureKind::Ellipse:
        if (points.size() >= 2) painter.drawEllipse(QRectF(points[0], points[1]).normalized());
        break;
    case MeasureKind::Freehand: painter.drawPolygon(points); break;
    }
    for (const QPointF& p : points)
        if (m.kind == MeasureKind::Distance || m.kind == MeasureKind::Angle) painter.drawEllipse(p, 2.5, 2.5);
    QString label = describe(m).replace(", mean", "\nmean");
    if (m.id > 0) label = QString("%1: %2").arg(m.id).arg(label);
    // Beside the last point, on a dark box so that it reads over any tissue.
    const QFontMetricsF metrics(painter.font());
    const QRectF text = metrics.boundingRect(QRectF(0, 0, 1000, 1000), Qt::AlignLeft, label);
    QRectF box(points.back() + QPointF(8, 8), text.size() + QSizeF(6, 4));
    painter.fillRect(box, QColor(0, 0, 0, 160));
    painter.drawText(box.adjusted(3, 2, -3, -2), Qt::AlignLeft, label);
}

}  // namespace quarvia
