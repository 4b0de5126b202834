#include "ImagePanel.h"

#include "dicom/StudyDatabase.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quarvia {

ImagePanel::ImagePanel(StudyDatabase& database, int cellIndex, QWidget* parent)
    : QWidget(parent), m_database(database), m_cellIndex(cellIndex) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImagePanel::setGroup(int groupId, int viewCount) {
    m_groupId = groupId;
    m_views.clear();
    m_active = 0;
    const SeriesGroup* group = m_database.groupById(groupId);
    if (group)
        for (int i = 0; i < std::max(1, viewCount); ++i) {
            auto v = std::make_unique<PanelView>();
            // Views start in the middle of the series, spread when there are several.
            v->imageIndex = static_cast<int>(group->imageIds.size()) * (i + 1) / (std::max(1, viewCount) + 1);
            m_views.push_back(std::move(v));
        }
    update();
}

PanelView* ImagePanel::view(int index) const {
    return index >= 0 && index < viewCount() ? m_views[static_cast<size_t>(index)].get() : nullptr;
}

int ImagePanel::viewIndex(const PanelView* view) const {
    for (int i = 0; i < viewCount(); ++i)
        if (m_views[static_cast<size_t>(i)].get() == view) return i;
    return -1;
}

void ImagePanel::setActiveView(int index) {
    if (!view(index)) return;
    m_active = index;
    update();
}

std::string ImagePanel::imageIdOf(const PanelView& view) const {
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!group || group->imageIds.empty()) return std::string();
    const int last = static_cast<int>(group->imageIds.size()) - 1;
    return group->imageIds[static_cast<size_t>(std::clamp(view.imageIndex, 0, last))];
}

void ImagePanel::scroll(int steps) {
    PanelView* v = view(m_active);
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!v || !group || group->imageIds.empty()) return;
    v->imageIndex = std::clamp(v->imageIndex + steps, 0, static_cast<int>(group->imageIds.size()) - 1);
    update();
}

void ImagePanel::windowOf(const PanelView& view, double& center, double& width) const {
    center = view.center;
    width = view.width;
    if (width > 0) return;
    const DicomImage* image = m_database.image(imageIdOf(view));
    if (!image) {
        center = 0;
        width = 1;
        return;
    }
    if (image->hasWindow()) {
        center = image->windowCenter();
        width = image->windowWidth();
        return;
    }
    const auto range = image->rawRange();
    const double lo = range.first * image->slope() + image->intercept();
    const double hi = range.second * image->slope() + image->intercept();
    center = (lo + hi) / 2;
    width = std::max(1.0, std::fabs(hi - lo));
}

QImage ImagePanel::render(const PanelView& view) const {
    const std::string id = imageIdOf(view);
    const DicomImage* image = m_database.image(id);
    if (!image || !m_database.download().arrived(id)) return QImage();
    double center = 0, width = 1;
    windowOf(view, center, width);
    QImage out(image->columns(), image->rows(), QImage::Format_RGB32);
    const bool colour = image->samplesPerPixel() == 3 && image->bitsAllocated() == 8;
    const double lo = center - width / 2;
    for (int y = 0; y < image->rows(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image->columns(); ++x) {
            const size_t i = size_t(y) * image->columns() + x;
            if (colour) {
                const uint8_t* p = image->pixelBytes() + i * 3;
                line[x] = qRgb(p[0], p[1], p[2]);
                continue;
            }
            const double value = image->raw(i) * image->slope() + image->intercept();
            const int g = static_cast<int>(std::clamp((value - lo) / width * 255.0, 0.0, 255.0));
            line[x] = qRgb(g, g, g);
        }
    }
    return out;
}

QRect ImagePanel::viewRect(int index) const {
    const int n = std::max(1, viewCount());
    const int w = width() / n;
    return QRect(index * w, 0, w, height());
}

void ImagePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x18, 0x18, 0x20));
    for (int i = 0; i < viewCount(); ++i) {
        const QRect area = viewRect(i).adjusted(2, 2, -2, -2);
        const QImage image = render(*m_views[static_cast<size_t>(i)]);
        if (!image.isNull()) {
            const QSize size = image.size().scaled(area.size(), Qt::KeepAspectRatio);
            const QRect target(area.center() - QPoint(size.width() / 2, size.height() / 2), size);
            painter.drawImage(target, image);
        }
        const SeriesGroup* group = m_database.groupById(m_groupId);
        painter.setPen(i == m_active ? QColor(255, 200, 0) : QColor(90, 90, 100));
        painter.drawRect(viewRect(i).adjusted(0, 0, -1, -1));
        if (group) {
            painter.setPen(QColor(220, 220, 220));
            painter.drawText(area.adjusted(4, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                             QString("Im %1/%2").arg(m_views[size_t(i)]->imageIndex + 1).arg(group->imageIds.size()));
        }
    }
}

void ImagePanel::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    scroll(steps != 0 ? -steps : 0);
    event->accept();
}

void ImagePanel::mousePressEvent(QMouseEvent* event) {
    for (int i = 0; i < viewCount(); ++i)
        if (viewRect(i).contains(event->position().toPoint())) setActiveView(i);
    m_pressAt = event->position().toPoint();
    m_pressed = event->button() == Qt::LeftButton;
    event->ignore();  // the cell becomes active too
}

void ImagePanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !m_database.groupById(m_groupId)) return;
    if ((event->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance()) return;
    m_pressed = false;
    auto* mime = new QMimeData;
    mime->setData("application/x-quarvia-panel", QByteArray::number(m_cellIndex));
    QDrag drag(this);
    drag.setMimeData(mime);
    drag.exec(Qt::CopyAction);
}

}  // namespace quarvia
