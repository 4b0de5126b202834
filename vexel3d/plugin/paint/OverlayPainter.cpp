#include "plugin/paint/OverlayPainter.h"

#include "interact/Overlays.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace v3d {

namespace {

constexpr int kMinFontPixels = 10;
constexpr int kMaxFontPixels = 15;
const QColor kHalo(0, 0, 0, 170);

QColor qColour(const OverlayColour& c) { return QColor(c.red, c.green, c.blue); }

int qtFlags(const OverlayText& text) {
    int flags = 0;
    if (text.align & ALIGN_LEFT) flags |= Qt::AlignLeft;
    if (text.align & ALIGN_RIGHT) flags |= Qt::AlignRight;
    if (text.align & ALIGN_HCENTRE) flags |= Qt::AlignHCenter;
    if (text.align & ALIGN_TOP) flags |= Qt::AlignTop;
    if (text.align & ALIGN_BOTTOM) flags |= Qt::AlignBottom;
    if (text.align & ALIGN_VCENTRE) flags |= Qt::AlignVCenter;
    if (text.singleLine) flags |= Qt::TextSingleLine;
    // Blanks at line ends belong to the system's texts ("2/3 ").
    return flags | Qt::TextIncludeTrailingSpaces;
}

// 16 x 16: '#' outline, 'o' fill, '!' mark, '.' transparent.
const char* const kNoticeRows[16] = {
    ".......##.......",
    "......#oo#......",
    "......#oo#......",
    ".....#oooo#.....",
    ".....#o!!o#.....",
    "....#oo!!oo#....",
    "....#oo!!oo#....",
    "...#ooo!!ooo#...",
    "...#ooo!!ooo#...",
    "..#oooo!!oooo#..",
    "..#oooooooooo#..",
    ".#ooooo!!ooooo#.",
    ".#ooooo!!ooooo#.",
    "#oooooooooooooo#",
    "################",
    "................",
};

}  // namespace

OverlayPainter::OverlayPainter(QPainter& painter, int clientWidth, int clientHeight)
    : m_painter(painter), m_fontPixels(fontPixelSize(clientWidth, clientHeight)) {}

int OverlayPainter::fontPixelSize(int clientWidth, int clientHeight) {
    return std::clamp(std::min(clientWidth, clientHeight) / 32, kMinFontPixels, kMaxFontPixels);
}

void OverlayPainter::draw(const OverlayList& items) {
    m_painter.save();
    // Crisp one- and two-pixel lines, as the figure and the ticks are meant.
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    QFont font = m_painter.font();
    font.setPixelSize(m_fontPixels);
    m_painter.setFont(font);
    for (const OverlayItem& item : items) {
        if (const auto* text = std::get_if<OverlayText>(&item))
            drawText(*text);
        else if (const auto* line = std::get_if<OverlayLine>(&item))
            drawLine(*line);
        else if (const auto* fill = std::get_if<OverlayFill>(&item))
            drawFill(*fill);
        else if (const auto* icon = std::get_if<OverlayIcon>(&item))
            drawIcon(*icon);
    }
    m_painter.restore();
}

void OverlayPainter::drawText(const OverlayText& text) {
    // A little room from the client edges so that corner texts are not cut.
    const QRect box = QRect(text.box.left, text.box.top, text.box.width, text.box.height).adjusted(2, 1, -2, -1);
    const int flags = qtFlags(text);
    const QString s = QString::fromUtf8(text.text.c_str());
    m_painter.setPen(QColor(0, 0, 0));
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (dx || dy) m_painter.drawText(box.translated(dx, dy), flags, s);
    m_painter.setPen(qColour(text.colour));
    m_painter.drawText(box, flags, s);
}

void OverlayPainter::drawLine(const OverlayLine& line) {
    const QLineF l(line.x1, line.y1, line.x2, line.y2);
    m_painter.setPen(QPen(kHalo, line.penWidth + 2, Qt::SolidLine, Qt::SquareCap));
    m_painter.drawLine(l);
    m_painter.setPen(QPen(qColour(line.colour), line.penWidth, Qt::SolidLine, Qt::SquareCap));
    m_painter.drawLine(l);
}

void OverlayPainter::drawFill(const OverlayFill& fill) {
    m_painter.fillRect(QRect(fill.box.left, fill.box.top, fill.box.width, fill.box.height), qColour(fill.colour));
}

void OverlayPainter::drawIcon(const OverlayIcon& icon) {
    if (icon.bitmapId == kLossyNoticeBitmap) m_painter.drawImage(QPoint(icon.x, icon.y), lossyNoticeIcon());
}

const QImage& lossyNoticeIcon() {
    static const QImage icon = [] {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                switch (kNoticeRows[y][x]) {
                case '#': image.setPixelColor(x, y, QColor(40, 24, 0)); break;
                case 'o': image.setPixelColor(x, y, QColor(255, 176, 0)); break;
                case '!': image.setPixelColor(x, y, QColor(20, 20, 20)); break;
                default: break;
                }
            }
        return image;
    }();
    return icon;
}

}  // namespace v3d
