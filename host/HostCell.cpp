#include "HostCell.h"

#include "ImagePanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace quarvia {

namespace {
const char* const kPanelMime = "application/x-quarvia-panel";
const char* const kSeriesMime = "application/x-quarvia-series";
// The frame around the panel: wide enough to double-click on.
constexpr int kBorder = 3;
}

HostCell::HostCell(int index, StudyDatabase& database, ReadingState& reading, QWidget* parent)
    : QFrame(parent), m_index(index), m_panel(new ImagePanel(database, reading, index, this)) {
    setMinimumSize(64, 64);
    setAutoFillBackground(false);
    setAcceptDrops(true);
    m_panel->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
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

void HostCell::mouseDoubleClickEvent(QMouseEvent* event) {
    emit maximiseRequested(m_index);
    event->accept();
}

void HostCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(24, 24, 32));
    painter.setPen(m_active ? QColor(255, 200, 0) : QColor(70, 70, 80));
    for (int i = 0; i < kBorder - 1; ++i) painter.drawRect(rect().adjusted(i, i, -1 - i, -1 - i));
}

void HostCell::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_panel->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
}

void HostCell::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime->hasFormat(kPanelMime) || mime->hasFormat(kSeriesMime) || mime->hasUrls()) event->acceptProposedAction();
}

void HostCell::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    bool ok = false;
    if (mime->hasFormat(kPanelMime)) {
        const int from = mime->data(kPanelMime).toInt(&ok);
        if (!ok) return;
        event->acceptProposedAction();
        emit panelDropped(from, m_index);
    } else if (mime->hasFormat(kSeriesMime)) {
        const int group = mime->data(kSeriesMime).toInt(&ok);
        if (!ok) return;
        event->acceptProposedAction();
        emit seriesDropped(group, m_index);
    } else if (mime->hasUrls()) {
        QStringList paths;
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        if (paths.isEmpty()) return;
        event->acceptProposedAction();
        emit filesDropped(paths, m_index);
    }
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
