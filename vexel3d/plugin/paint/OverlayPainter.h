#pragma once
// Draws the 3D view's overlay list with a QPainter: texts with a dark halo
// and lines over a dark under-stroke, so that both stay readable over the
// picture and over light or dark host panels.

#include "interact/OverlayItems.h"

#include <QImage>

class QPainter;

namespace v3d {

class OverlayPainter {
public:
    // The font follows the client size: small windows get small but still
    // readable text, large ones do not get huge text.
    OverlayPainter(QPainter& painter, int clientWidth, int clientHeight);

    void draw(const OverlayList& items);

    // Font pixel size used for a client area of that size.
    static int fontPixelSize(int clientWidth, int clientHeight);

private:
    void drawText(const OverlayText& text);
    void drawLine(const OverlayLine& line);
    void drawFill(const OverlayFill& fill);
    void drawIcon(const OverlayIcon& icon);

    QPainter& m_painter;
    int m_fontPixels;
};

// Bitmap 5010: the lossy-image notice, 16 x 16 (an amber warning triangle).
const QImage& lossyNoticeIcon();

}  // namespace v3d
