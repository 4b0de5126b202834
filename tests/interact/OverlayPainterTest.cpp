// The overlay list drawn with Qt over light and dark backgrounds.

#include "interact/Overlays.h"
#include "plugin/paint/OverlayPainter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace v3d;

namespace {

QImage paintOn(const QColor& background, const OverlayList& list, int w = 300, int h = 200) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    OverlayPainter(painter, w, h).draw(list);
    painter.end();
    return image;
}

int countPixels(const QImage& image, const std::function<bool(const QColor&)>& test) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += test(image.pixelColor(x, y));
    return n;
}

bool cyanish(const QColor& c) { return c.red() < 90 && c.green() > 180 && c.blue() > 180; }
bool dark(const QColor& c) { return c.red() < 80 && c.green() < 80 && c.blue() < 80; }

}  // namespace

TEST(OverlayPainter, TextStaysReadableOnAWhitePanel) {
    OverlayList list{OverlayText{" level 40\n window 400\n", {0, 0, 300, 200}, ALIGN_LEFT | ALIGN_TOP, false,
                                 overlay_colour::kText}};
    const QImage image = paintOn(Qt::white, list);
    // The glyphs in the overlay colour, edged with dark pixels that carry the
    // contrast a light panel lacks.
    EXPECT_GT(countPixels(image, cyanish), 20);
    EXPECT_GT(countPixels(image, dark), 40);
}

TEST(OverlayPainter, LinesKeepTheirColourAtTheirCentre) {
    OverlayList list{OverlayLine{20, 50, 200, 50, 2, overlay_colour::kGesture},
                     OverlayLine{20, 100, 200, 100, 1, overlay_colour::kDim}};
    for (const QColor& background : {QColor(Qt::white), QColor(24, 24, 32)}) {
        const QImage image = paintOn(background, list);
        EXPECT_EQ(image.pixelColor(100, 50), QColor(255, 0, 0));
        EXPECT_EQ(image.pixelColor(100, 100), QColor(0, 96, 128));
        EXPECT_EQ(image.pixelColor(100, 150), background);
    }
}

TEST(OverlayPainter, FillsAndTheLossyNoticeIcon) {
    OverlayList list{OverlayFill{{40, 168, 100, 3}, overlay_colour::kDownload},
                     OverlayIcon{142, 2, kLossyNoticeBitmap}};
    const QImage image = paintOn(Qt::black, list);
    EXPECT_EQ(image.pixelColor(60, 169), QColor(0, 0, 128));
    EXPECT_EQ(image.pixelColor(60, 172), QColor(Qt::black));
    const QImage& icon = lossyNoticeIcon();
    EXPECT_EQ(icon.size(), QSize(16, 16));
    // The icon's body is drawn inside its 16 x 16 square and nowhere else.
    int changed = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 130; x < 170; ++x)
            if (image.pixelColor(x, y) != QColor(Qt::black)) {
                ++changed;
                EXPECT_TRUE(x >= 142 && x < 158 && y >= 2 && y < 18) << x << "," << y;
            }
    EXPECT_GT(changed, 60);
}

TEST(OverlayPainter, FontStaysReadableInSmallWindows) {
    EXPECT_GE(OverlayPainter::fontPixelSize(120, 90), 10);
    EXPECT_LE(OverlayPainter::fontPixelSize(2000, 1500), 15);
}
