#pragma once

#include "ImagePlane.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quarvia {

enum class MeasureKind { Distance, Angle, Ellipse, Freehand };

// The stored values inside a region, in the series' real units.
struct RegionStats {
    int pixels = 0;
    double mean = 0, sd = 0, min = 0, max = 0;  // sd of the pixels themselves (not of a sample)
    double areaMm2 = 0;
};

// A measurement drawn on a picture. Its points are patient positions, so
// that it comes back on the same plane of the same series, acquired or
// reformatted, and survives a layout saved and opened.
struct Measurement {
    int id = 0;
    MeasureKind kind = MeasureKind::Distance;
    std::string seriesUid;
    Vec3d normal{0, 0, 1};      // of the plane it was drawn on
    std::vector<Vec3d> points;  // distance: 2; angle: 3 (vertex second); ellipse: two corners of its box; freehand: outline
    double value = 0;           // mm, degrees or mm2
    RegionStats stats;          // ellipse and freehand
    QString unit;               // of the stats: "HU" for CT, else empty
};

// The real value of a pixel of a picture (column, row); NaN where there is none.
using PixelValue = std::function<double(int column, int row)>;

// Finishes a measurement from its points: its value, and for a region the
// statistics over the pixels whose centres lie inside it.
void completeMeasurement(Measurement& m, const ImagePlane& plane, const PixelValue& value);
// A distance's length (mm) or an angle (degrees) from its points alone.
double lineValue(MeasureKind kind, const std::vector<Vec3d>& points);
// Whether it was drawn on this plane (parallel, and within half a step).
bool liesOn(const Measurement& m, const ImagePlane& plane);
// One line for the list: "Distance 132.0 mm", "Ellipse 201.1 mm2, mean 40.2 HU ...".
QString describe(const Measurement& m);
const char* kindName(MeasureKind kind);
bool kindFromName(const QString& name, MeasureKind& kind);

}  // namespace quarvia
