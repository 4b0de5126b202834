#include "HostCell.h"

#include "ImagePanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace quarvia {

namespace {
const char* const kPanelMime = "application/x-quarvia-panel";
}

HostCell::HostCell(int index, StudyDatabase& database, QWidget* parent)
    : QFrame(parent), m_index(index), m_panel(new ImagePanel(database, index, this)) {
    setMinimumSize(64, 64);
    setAutoFillBackground(false);
    setAcceptDrops(true);
    m_panel->setGeometry(rect().adjusted(1, 1, -1, -1));
}

void HostCell::setPluginWindow(QWidget* window, const std::string& pluginId) {
    if (m_pluginWindow) m_pluginWindow->removeEventFilter(this);
    m_pluginWindow = window;
    m_pluginId = window ? pluginId : std::string();
    if (window) {
        // Drops over the plug-in window are the cell's to route.
        window->setAcceptDrops(true);
        window->installEventFilter(this);
    }
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

void HostCell::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_panel->setGeometry(rect().adjusted(1, 1, -1, -1));
}

void HostCell::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(kPanelMime)) event->acceptProposedAction();
}

void HostCell::dropEvent(QDropEvent* event) {
    bool ok = false;
    const int from = event->mimeData()->data(kPanelMime).toInt(&ok);
    if (!ok) return;
    event->acceptProposedAction();
    emit panelDropped(from, m_index);
}

bool HostCell::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pluginWindow.data()) {
        if (event->type() == QEvent::DragEnter) {
            dragEnterEvent(static_cast<QDragEnterEvent*>(event));
            return true;
        }
        if (event->type() == QEvent::Drop) {
            dropEvent(static_cast<QDropEvent*>(event));
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace quarvia
