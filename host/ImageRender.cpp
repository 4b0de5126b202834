#include "ImageRender.h"

#include "dicom/DicomImage.h"

#include <algorithm>
#include <cmath>

namespace quarvia {

void defaultWindow(const DicomImage& image, double& center, double& width) {
    if (image.hasWindow()) {
        center = image.windowCenter();
        width = image.windowWidth();
        return;
    }
    const auto range = image.rawRange();
    const double lo = range.first * image.slope() + image.intercept();
    const double hi = range.second * image.slope() + image.intercept();
    center = (lo + hi) / 2;
    width = std::max(1.0, std::fabs(hi - lo));
}

QImage renderImage(const DicomImage& image, double center, double width) {
    QImage out(image.columns(), image.rows(), QImage::Format_RGB32);
    const bool colour = image.samplesPerPixel() == 3 && image.bitsAllocated() == 8;
    const bool invert = !colour && image.monochrome1();
    width = std::max(width, 1e-6);
    const double lo = center - width / 2;
    for (int y = 0; y < image.rows(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.columns(); ++x) {
            const size_t i = size_t(y) * size_t(image.columns()) + size_t(x);
            if (colour) {
                const uint8_t* p = image.pixelBytes() + i * 3;
                line[x] = qRgb(p[0], p[1], p[2]);
                continue;
            }
            const double value = image.raw(i) * image.slope() + image.intercept();
            int g = static_cast<int>(std::clamp((value - lo) / width * 255.0, 0.0, 255.0));
            if (invert) g = 255 - g;
            line[x] = qRgb(g, g, g);
        }
    }
    return out;
}

QImage renderValues(const float* values, int columns, int rows, double center, double width) {
    QImage out(columns, rows, QImage::Format_RGB32);
    width = std::max(width, 1e-6);
    const double lo = center - width / 2;
    for (int y = 0; y < rows; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const float* in = values + size_t(y) * size_t(columns);
        for (int x = 0; x < columns; ++x) {
            const int g = std::isnan(in[x]) ? 0 : static_cast<int>(std::clamp((in[x] - lo) / width * 255.0, 0.0, 255.0));
            line[x] = qRgb(g, g, g);
        }
    }
    return out;
}

QSizeF displaySize(const DicomImage& image) {
    const double columns = image.columns(), rows = image.rows();
    if (image.spacingState() != SpacingState::Given) return QSizeF(columns, rows);
    // Rows keep their count; a row's width grows with the pixel's aspect.
    const double aspect = image.spacingX() / image.spacingY();
    if (!std::isfinite(aspect) || aspect < 0.05 || aspect > 20) return QSizeF(columns, rows);
    return QSizeF(columns * aspect, rows);
}

}  // namespace quarvia
