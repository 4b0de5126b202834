#include "plugin/paint/ToolbarIcons.h"

#include "plugin/frame/CommandTexts.h"

#include <QConicalGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <cmath>

namespace v3d {

namespace {

constexpr int kSize = 18;
const QColor kInk(30, 30, 30);
const QColor kAccent(0, 110, 200);
const QColor kWarn(200, 30, 30);

void arrowHead(QPainter& p, QPointF tip, double angleDeg, double size = 4.0) {
    const double a = angleDeg * M_PI / 180.0;
    const QPointF back(tip.x() - size * std::cos(a), tip.y() - size * std::sin(a));
    const QPointF side(-std::sin(a) * size * 0.6, std::cos(a) * size * 0.6);
    QPolygonF head{tip, back + side, back - side};
    p.setBrush(p.pen().color());
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

void curvedArrow(QPainter& p, QRectF box, int startDeg, int spanDeg) {
    p.drawArc(box, startDeg * 16, spanDeg * 16);
    const double end = (startDeg + spanDeg) * M_PI / 180.0;
    const QPointF c = box.center();
    const QPointF tip(c.x() + box.width() / 2 * std::cos(end), c.y() - box.height() / 2 * std::sin(end));
    // Tangent direction of a counter-clockwise arc in screen coordinates.
    const double tangent = -(startDeg + spanDeg + (spanDeg > 0 ? 90 : -90));
    arrowHead(p, tip, tangent, 4.0);
}

void plane(QPainter& p, const QColor& fill) {
    QPolygonF quad{QPointF(2, 12), QPointF(7, 6), QPointF(16, 6), QPointF(11, 12)};
    p.setBrush(fill);
    p.drawPolygon(quad);
    p.setBrush(Qt::NoBrush);
}

void sphere(QPainter& p, QRectF box, const QColor& colour) {
    QRadialGradient g(box.center() - QPointF(box.width() / 5, box.height() / 5), box.width() / 1.6);
    g.setColorAt(0, Qt::white);
    g.setColorAt(0.35, colour);
    g.setColorAt(1, colour.darker(250));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(box);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.2));
}

void resetArrow(QPainter& p) {
    p.setPen(QPen(kAccent, 1.6));
    curvedArrow(p, QRectF(8, 8, 9, 9), 180, 250);
    p.setPen(QPen(kInk, 1.2));
}

void blob(QPainter& p, const QColor& fill) {
    QPainterPath path;
    path.moveTo(4, 9);
    path.cubicTo(3, 2, 13, 1, 14, 7);
    path.cubicTo(16, 12, 10, 16, 7, 14);
    path.cubicTo(4, 13, 5, 11, 4, 9);
    p.setBrush(fill);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
}

void pointer(QPainter& p, QPointF at) {
    QPolygonF arrow{at, at + QPointF(0, 8), at + QPointF(2, 6), at + QPointF(4, 9), at + QPointF(5, 8),
                    at + QPointF(3, 5.5), at + QPointF(6, 5.5)};
    p.setBrush(Qt::white);
    p.setPen(QPen(kInk, 1));
    p.drawPolygon(arrow);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.2));
}

void label(QPainter& p, const char* text, const QColor& colour) {
    QFont font = p.font();
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRectF(0, 0, kSize, kSize), Qt::AlignCenter, QString::fromLatin1(text));
    p.setPen(QPen(kInk, 1.2));
}

void draw(QPainter& p, int command) {
    switch (command) {
    case ID_ORBIT_CAMERA:
        p.setBrush(kInk);
        p.drawEllipse(QPointF(9, 9), 2, 2);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kAccent, 1.6));
        curvedArrow(p, QRectF(2, 4, 14, 10), 200, 300);
        break;
    case ID_ROTATE_CAMERA:
        p.drawRect(QRectF(5, 7, 7, 5));
        p.drawLine(QPointF(12, 8), QPointF(15, 6));
        p.drawLine(QPointF(12, 11), QPointF(15, 13));
        p.setPen(QPen(kAccent, 1.6));
        curvedArrow(p, QRectF(2, 2, 14, 14), 120, 120);
        break;
    case ID_STRAFE_CAMERA:
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(3, 9), QPointF(15, 9));
        p.drawLine(QPointF(9, 3), QPointF(9, 15));
        arrowHead(p, QPointF(16, 9), 0);
        arrowHead(p, QPointF(2, 9), 180);
        arrowHead(p, QPointF(9, 2), -90);
        arrowHead(p, QPointF(9, 16), 90);
        break;
    case ID_MOVE_ROLL_CAMERA:
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(9, 15), QPointF(9, 4));
        arrowHead(p, QPointF(9, 2), -90);
        p.setPen(QPen(kInk, 1.4));
        curvedArrow(p, QRectF(3, 8, 12, 8), 200, 140);
        break;
    case ID_ISOVALUE:
        p.setPen(QPen(kInk, 1.2));
        p.drawRect(QRectF(2, 2, 14, 14));
        p.setPen(QPen(kAccent, 1.8));
        p.drawEllipse(QRectF(5, 5, 8, 8));
        break;
    case ID_WINDOW_LEVEL: {
        QLinearGradient g(2, 0, 16, 0);
        g.setColorAt(0, Qt::black);
        g.setColorAt(1, Qt::white);
        p.setBrush(g);
        p.drawRect(QRectF(2, 4, 14, 10));
        p.setBrush(Qt::NoBrush);
        break;
    }
    case ID_HUE_SATURATION: {
        QConicalGradient g(9, 9, 0);
        for (int i = 0; i <= 6; ++i) g.setColorAt(i / 6.0, QColor::fromHsv((i * 60) % 360, 230, 240));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(2, 2, 14, 14));
        break;
    }
    case ID_SHADE: sphere(p, QRectF(2, 2, 14, 14), QColor(150, 150, 150)); break;
    case ID_CREATE_CUTPLANE:
        plane(p, QColor(200, 220, 240));
        p.setPen(QPen(kAccent, 2));
        p.drawLine(QPointF(13, 1), QPointF(13, 6));
        p.drawLine(QPointF(10.5, 3.5), QPointF(15.5, 3.5));
        break;
    case ID_SELECT_CUTPLANE:
        plane(p, QColor(200, 220, 240));
        pointer(p, QPointF(9, 7));
        break;
    case ID_MOVE_CUTPLANE:
        plane(p, QColor(200, 220, 240));
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(9, 3), QPointF(9, 15));
        arrowHead(p, QPointF(9, 1.5), -90);
        arrowHead(p, QPointF(9, 16.5), 90);
        break;
    case ID_DELETE_CUTPLANE:
        plane(p, QColor(200, 220, 240));
        p.setPen(QPen(kWarn, 2));
        p.drawLine(QPointF(11, 1), QPointF(16, 6));
        p.drawLine(QPointF(16, 1), QPointF(11, 6));
        break;
    case ID_SELECT_OBJECT:
        blob(p, QColor(240, 190, 120));
        pointer(p, QPointF(9, 8));
        break;
    case ID_SELECT_ROI: {
        QPen dashed(kAccent, 1.4, Qt::DashLine);
        p.setPen(dashed);
        p.drawEllipse(QRectF(2, 3, 14, 11));
        break;
    }
    case ID_SELECT_DENSITY:
        p.setBrush(QColor(120, 120, 120));
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 6; ++i) {
            const double h = 2 + (i * 5 % 11);
            p.drawRect(QRectF(2 + i * 2.4, 16 - h, 2, h));
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kAccent, 1.4));
        p.drawLine(QPointF(6, 2), QPointF(6, 17));
        p.drawLine(QPointF(12, 2), QPointF(12, 17));
        break;
    case ID_RENDER_SSD: sphere(p, QRectF(2, 2, 14, 14), QColor(230, 160, 90)); break;
    case ID_RENDER_MIP:
        p.fillRect(QRectF(1, 1, 16, 16), Qt::black);
        label(p, "MIP", Qt::white);
        break;
    case ID_RENDER_OPQ: {
        QPolygonF front{QPointF(3, 7), QPointF(11, 7), QPointF(11, 15), QPointF(3, 15)};
        QPolygonF top{QPointF(3, 7), QPointF(7, 3), QPointF(15, 3), QPointF(11, 7)};
        QPolygonF side{QPointF(11, 7), QPointF(15, 3), QPointF(15, 11), QPointF(11, 15)};
        p.setBrush(QColor(150, 150, 150));
        p.drawPolygon(front);
        p.setBrush(QColor(200, 200, 200));
        p.drawPolygon(top);
        p.setBrush(QColor(100, 100, 100));
        p.drawPolygon(side);
        p.setBrush(Qt::NoBrush);
        break;
    }
    case ID_PARALLEL:
        p.drawLine(QPointF(2, 5), QPointF(12, 5));
        p.drawLine(QPointF(2, 13), QPointF(12, 13));
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(13, 3), QPointF(13, 15));
        break;
    case ID_PERSPECTIVE:
        p.drawLine(QPointF(2, 9), QPointF(13, 3));
        p.drawLine(QPointF(2, 9), QPointF(13, 15));
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(14, 2), QPointF(14, 16));
        break;
    case ID_CAPTURE:
        p.setBrush(QColor(90, 90, 90));
        p.drawRoundedRect(QRectF(1.5, 5, 15, 10), 2, 2);
        p.drawRect(QRectF(6, 3, 6, 2));
        p.setBrush(QColor(160, 200, 240));
        p.drawEllipse(QRectF(6, 7, 6, 6));
        p.setBrush(Qt::NoBrush);
        break;
    case ID_RESET_VIEW:
        p.drawPolygon(QPolygonF{QPointF(2, 8), QPointF(7, 3), QPointF(12, 8)});
        p.drawRect(QRectF(3.5, 8, 7, 6));
        resetArrow(p);
        break;
    case ID_RESET_CUTPLANES:
        plane(p, QColor(200, 220, 240));
        resetArrow(p);
        break;
    case ID_RESET_SEGMENTATION:
        blob(p, QColor(240, 190, 120));
        resetArrow(p);
        break;
    case ID_RESET_SHADING:
        sphere(p, QRectF(1, 1, 11, 11), QColor(150, 150, 150));
        resetArrow(p);
        break;
    default:
        p.drawRect(QRectF(3, 3, 12, 12));
        break;
    }
}

}  // namespace

QIcon toolbarIcon(int command) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kInk, 1.2));
    draw(painter, command);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace v3d
