#include "HostCell.h"

#include <QMouseEvent>
#include <QPainter>

namespace quarvia {

HostCell::HostCell(int index, QWidget* parent) : QFrame(parent), m_index(index) {
    setMinimumSize(64, 64);
    setAutoFillBackground(false);
}

void HostCell::setActive(bool active) {
    if (m_active == active) return;
    m_active = active;
    update();
}

void HostCell::mousePressEvent(QMouseEvent* event) {
    emit activated(m_index);
    QFrame::mousePressEvent(event);
}

void HostCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(24, 24, 32));
    painter.setPen(m_active ? QColor(255, 200, 0) : QColor(70, 70, 80));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace quarvia
