#include "Measurement.h"

#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace quarvia {

namespace {
constexpr double kPi = 3.14159265358979323846;
struct KindName {
    MeasureKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {{MeasureKind::Distance, "distance"},
                                   {MeasureKind::Angle, "angle"},
                                   {MeasureKind::Ellipse, "ellipse"},
                                   {MeasureKind::Freehand, "freehand"}};

// Sums the pixels whose centres `inside` accepts, within the box.
RegionStats statsOver(const ImagePlane& plane, const PixelValue& value, double c0, double r0, double c1, double r1,
                      const std::function<bool(double, double)>& inside) {
    RegionStats s;
    double sum = 0, squares = 0;
    const int cFirst = std::max(0, int(std::ceil(c0))), cLast = std::min(plane.columns - 1, int(std::floor(c1)));
    const int rFirst = std::max(0, int(std::ceil(r0))), rLast = std::min(plane.rows - 1, int(std::floor(r1)));
    for (int r = rFirst; r <= rLast; ++r)
        for (int c = cFirst; c <= cLast; ++c) {
            if (!inside(c, r)) continue;
            const double v = value(c, r);
            if (std::isnan(v)) continue;
            if (s.pixels == 0) s.min = s.max = v;
            s.min = std::min(s.min, v), s.max = std::max(s.max, v);
            sum += v, squares += v * v;
            ++s.pixels;
        }
    if (s.pixels > 0) {
        s.mean = sum / s.pixels;
        s.sd = std::sqrt(std::max(0.0, squares / s.pixels - s.mean * s.mean));
    }
    return s;
}
}  // namespace

const char* kindName(MeasureKind kind) {
    for (const KindName& k : kKindNames)
        if (k.kind == kind) return k.name;
    return "distance";
}

bool kindFromName(const QString& name, MeasureKind& kind) {
    for (const KindName& k : kKindNames)
        if (name == k.name) return (kind = k.kind), true;
    return false;
}

double lineValue(MeasureKind kind, const std::vector<Vec3d>& p) {
    if (kind == MeasureKind::Distance) return p.size() >= 2 ? norm(sub(p[1], p[0])) : 0;
    if (kind != MeasureKind::Angle || p.size() < 3) return 0;
    const Vec3d a = sub(p[0], p[1]), b = sub(p[2], p[1]);
    return norm(a) > 0 && norm(b) > 0 ? angleDegrees(a, b) : 0;
}

void completeMeasurement(Measurement& m, const ImagePlane& plane, const PixelValue& value) {
    m.normal = plane.normal();
    m.stats = RegionStats();
    const std::vector<Vec3d>& p = m.points;
    switch (m.kind) {
    case MeasureKind::Distance:
    case MeasureKind::Angle: m.value = lineValue(m.kind, p); break;
    case MeasureKind::Ellipse: {
        if (p.size() < 2) break;
        double c0, r0, c1, r1;
        plane.pixelOf(p[0], c0, r0);
        plane.pixelOf(p[1], c1, r1);
        const double cx = (c0 + c1) / 2, cy = (r0 + r1) / 2, rx = std::fabs(c1 - c0) / 2, ry = std::fabs(r1 - r0) / 2;
        if (rx <= 0 || ry <= 0) break;
        m.stats = statsOver(plane, value, cx - rx, cy - ry, cx + rx, cy + ry, [&](double c, double r) {
            const double x = (c - cx) / rx, y = (r - cy) / ry;
            return x * x + y * y <= 1.0;
        });
        m.stats.areaMm2 = kPi * rx * plane.du * ry * plane.dv;
        m.value = m.stats.areaMm2;
        break;
    }
    case MeasureKind::Freehand: {
        if (p.size() < 3) break;
        QPolygonF outline;
        double area = 0;
        for (const Vec3d& point : p) {
            double c, r;
            plane.pixelOf(point, c, r);
            outline << QPointF(c, r);
        }
        for (int i = 0; i < outline.size(); ++i) {
            const QPointF a = outline[i], b = outline[(i + 1) % outline.size()];
            area += a.x() * b.y() - b.x() * a.y();
        }
        const QRectF box = outline.boundingRect();
        m.stats = statsOver(plane, value, box.left(), box.top(), box.right(), box.bottom(),
                            [&](double c, double r) { return outline.containsPoint(QPointF(c, r), Qt::OddEvenFill); });
        m.stats.areaMm2 = std::fabs(area) / 2 * plane.du * plane.dv;
        m.value = m.stats.areaMm2;
        break;
    }
    }
}

bool liesOn(const Measurement& m, const ImagePlane& plane) {
    if (norm(cross(m.normal, plane.normal())) >= kParallelSine * 10) return false;
    for (const Vec3d& p : m.points)
        if (std::fabs(plane.distanceTo(p)) > plane.step / 2) return false;
    return !m.points.empty();
}

QString describe(const Measurement& m) {
    switch (m.kind) {
    case MeasureKind::Distance: return QString("Distance %1 mm").arg(m.value, 0, 'f', 1);
    case MeasureKind::Angle: return QString("Angle %1\u00b0").arg(m.value, 0, 'f', 1);
    case MeasureKind::Ellipse:
    case MeasureKind::Freehand: {
        const QString unit = m.unit.isEmpty() ? QString() : " " + m.unit;
        return QString("%1 %2 mm\u00b2, mean %3%7, SD %4, min %5, max %6")
            .arg(m.kind == MeasureKind::Ellipse ? "Ellipse" : "Freehand")
            .arg(m.stats.areaMm2, 0, 'f', 1)
            .arg(m.stats.mean, 0, 'f', 1)
            .arg(m.stats.sd, 0, 'f', 1)
            .arg(m.stats.min, 0, 'f', 1)
            .arg(m.stats.max, 0, 'f', 1)
            .arg(unit);
    }
    }
    return QString();
}

}  // namespace quarvia
