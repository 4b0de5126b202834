#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace quarvia {

class DicomImage;

// The texts over an image: four corners, and the patient directions at the
// middle of each edge.
struct PanelTexts {
    QString topLeft, topRight, bottomLeft, bottomRight;
    QString left, right, top, bottom;
};

// The letters of the patient direction a unit vector (patient coordinates,
// x to the left, y to the back, z to the head) points to, strongest first:
// "L", "P", "S", "LA"... Components below 0.3 are left out.
QString orientationLetters(const double direction[3]);

// The four texts at an image's edges: left, right, top, bottom (the patient
// directions the image's rows and columns point to). Empty without geometry.
std::array<QString, 4> edgeLetters(const DicomImage& image);
// The same for a picture whose rows run along `right` and columns along `down`.
std::array<QString, 4> edgeLetters(const std::array<double, 3>& right, const std::array<double, 3>& down);

// A stored date (YYYYMMDD) as the user reads it (YYYY-MM-DD).
QString readableDate(const QString& stored);

}  // namespace quarvia
