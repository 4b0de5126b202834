#pragma once

#include "Measurement.h"

#include <QJsonArray>
#include <QJsonObject>

#include <vector>

namespace quarvia {

// Measurements as a layout keeps them, and back. Reading trusts nothing: an
// entry with an unknown kind, too few or too many points, or a number that
// is not finite is left out.
QJsonArray measurementsToJson(const std::vector<Measurement>& measurements);
std::vector<Measurement> measurementsFromJson(const QJsonArray& array);

// A point or direction as three numbers; false unless all three are finite.
QJsonArray vecToJson(const Vec3d& v);
bool vecFromJson(const QJsonValue& value, Vec3d& v);

// A freehand outline keeps at most this many points.
constexpr int kMaxMeasurementPoints = 10000;

}  // namespace quarvia
