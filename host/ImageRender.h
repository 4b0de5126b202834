#pragma once

#include <QImage>
#include <QSizeF>

namespace quarvia {

class DicomImage;

// The window an image is shown with when the user chose none: its own,
// else the whole range of its values.
void defaultWindow(const DicomImage& image, double& center, double& width);

// The image's pixels through a window as the user sees them: grey values
// linear in the window (MONOCHROME1 flipped so that low values are white),
// colour images as they are. One image pixel per QImage pixel.
QImage renderImage(const DicomImage& image, double center, double width);

// Resampled values (NaN: outside, drawn black) through a window.
QImage renderValues(const float* values, int columns, int rows, double center, double width);

// The image's size on screen before zooming, in image pixels scaled so that
// a pixel twice as wide as high (from the pixel spacing) is drawn twice as wide.
QSizeF displaySize(const DicomImage& image);

}  // namespace quarvia
