#include "ReadingLayout.h"

#include <algorithm>
#include <cmath>

namespace quarvia {

QJsonArray vecToJson(const Vec3d& v) { return QJsonArray{v[0], v[1], v[2]}; }

bool vecFromJson(const QJsonValue& value, Vec3d& v) {
    const QJsonArray a = value.toArray();
    if (a.size() != 3) return false;
    for (int i = 0; i < 3; ++i) {
        if (!a[i].isDouble() || !std::isfinite(a[i].toDouble())) return false;
        v[size_t(i)] = a[i].toDouble();
    }
    return true;
}

QJsonArray measurementsToJson(const std::vector<Measurement>& measurements) {
    QJsonArray out;
    for (const Measurement& m : measurements) {
        QJsonArray points;
        for (const Vec3d& p : m.points) points.append(vecToJson(p));
        out.append(QJsonObject{{"kind", kindName(m.kind)},
                               {"series", QString::fromStdString(m.seriesUid)},
                               {"normal", vecToJson(m.normal)},
                               {"points", points},
                               {"value", m.value},
                               {"unit", m.unit},
                               {"pixels", m.stats.pixels},
                               {"mean", m.stats.mean},
                               {"sd", m.stats.sd},
                               {"min", m.stats.min},
                               {"max", m.stats.max},
                               {"area", m.stats.areaMm2}});
    }
    return out;
}

std::vector<Measurement> measurementsFromJson(const QJsonArray& array) {
    std::vector<Measurement> out;
    for (const QJsonValue& value : array) {
        const QJsonObject o = value.toObject();
        Measurement m;
        if (!kindFromName(o.value("kind").toString(), m.kind) || !vecFromJson(o.value("normal"), m.normal)) continue;
        m.seriesUid = o.value("series").toString().toStdString();
        const QJsonArray points = o.value("points").toArray();
        const int needed = m.kind == MeasureKind::Distance || m.kind == MeasureKind::Ellipse ? 2 : 3;
        if (points.size() < needed || points.size() > kMaxMeasurementPoints ||
            (m.kind != MeasureKind::Freehand && points.size() != needed))
            continue;
        bool sound = norm(m.normal) > 0.5 && norm(m.normal) < 2;
        for (const QJsonValue& p : points) {
            Vec3d v;
            sound = sound && vecFromJson(p, v);
            m.points.push_back(v);
        }
        // Absent statistics read as 0 (lines and angles have none); present ones must be numbers.
        double numbers[6] = {};
        const char* names[6] = {"value", "mean", "sd", "min", "max", "area"};
        for (int i = 0; i < 6; ++i) {
            const QJsonValue n = o.value(names[i]);
            sound = sound && (n.isUndefined() || (n.isDouble() && std::isfinite(n.toDouble())));
            numbers[i] = n.toDouble();
        }
        if (!sound) continue;
        // Lines are measured again from their points; regions keep their pixels' numbers.
        m.value = m.kind == MeasureKind::Distance || m.kind == MeasureKind::Angle ? lineValue(m.kind, m.points) : numbers[0];
        m.stats.mean = numbers[1], m.stats.sd = numbers[2], m.stats.min = numbers[3], m.stats.max = numbers[4];
        m.stats.areaMm2 = numbers[5];
        m.stats.pixels = std::max(0, o.value("pixels").toInt());
        m.unit = o.value("unit").toString().left(16);
        out.push_back(std::move(m));
    }
    return out;
}

}  // namespace quarvia
