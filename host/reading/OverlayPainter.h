#pragma once

#include "Measurement.h"
#include "ReformatVolume.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace quarvia {

// Where a picture's pixels are on screen: `rect` covers the pixels' outer edges.
struct ScreenMap {
    QRectF rect;
    int columns = 1, rows = 1;
    QPointF toScreen(double column, double row) const;
    void toPixel(const QPointF& at, double& column, double& row) const;
};

QColor colourOfPlane(PlaneKind kind);
// The line where `other` cuts the picture's plane; a gap of `gap` pixels is
// left around `around` (the crossing) when given.
void paintPlaneLine(QPainter& painter, const ScreenMap& map, const ImagePlane& plane, const ImagePlane& other,
                    const QColor& colour, bool dashed, const QPointF* around = nullptr);
// The 3D cursor on a picture: a cross with an open centre.
void paintCursorMark(QPainter& painter, const QPointF& at);
// A measurement with its value beside it.
void paintMeasurement(QPainter& painter, const ScreenMap& map, const ImagePlane& plane, const Measurement& m);

}  // namespace quarvia
