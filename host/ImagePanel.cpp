#include "ImagePanel.h"

#include "CornerTexts.h"
#include "ImageRender.h"
#include "WindowPresets.h"
#include "dicom/StudyDatabase.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quarvia {

namespace {
// A drag over this many pixels doubles the window width.
constexpr double kWindowDragPixels = 256.0;
constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.1, kMaxZoom = 40.0;
}  // namespace

ImagePanel::ImagePanel(StudyDatabase& database, int cellIndex, QWidget* parent)
    : QWidget(parent), m_database(database), m_cellIndex(cellIndex) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
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

const DicomImage* ImagePanel::shownImage(const PanelView& view) const {
    const std::string id = imageIdOf(view);
    const DicomImage* image = m_database.image(id);
    return image && m_database.download().arrived(id) ? image : nullptr;
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
    defaultWindow(*image, center, width);
}

void ImagePanel::setWindow(double center, double width) {
    PanelView* v = view(m_active);
    if (!v || !std::isfinite(center) || !std::isfinite(width)) return;
    v->center = width > 0 ? center : 0;
    v->width = width > 0 ? std::max(1.0, width) : 0;
    update();
}

void ImagePanel::applyPreset(int index) {
    if (index < 0 || index >= static_cast<int>(kCtPresets.size())) return;
    setWindow(kCtPresets[size_t(index)].center, kCtPresets[size_t(index)].width);
}

void ImagePanel::zoomBy(double factor) {
    PanelView* v = view(m_active);
    if (!v) return;
    const double zoom = std::clamp(v->zoom * factor, kMinZoom, kMaxZoom);
    v->pan *= zoom / v->zoom;  // the point at the view's centre stays there
    v->zoom = zoom;
    update();
}

void ImagePanel::fit() {
    PanelView* v = view(m_active);
    if (!v) return;
    v->zoom = 1;
    v->pan = QPointF();
    update();
}

QString ImagePanel::stateText() const {
    const PanelView* v = view(m_active);
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!v || !group) return "empty";
    double center = 0, width = 1;
    windowOf(*v, center, width);
    return QString("image %1/%2 window %3/%4 zoom %5 pan %6,%7")
        .arg(v->imageIndex + 1)
        .arg(group->imageIds.size())
        .arg(center, 0, 'g', 6)
        .arg(width, 0, 'g', 6)
        .arg(v->zoom, 0, 'g', 4)
        .arg(std::lround(v->pan.x()))
        .arg(std::lround(v->pan.y()));
}

QRect ImagePanel::viewRect(int index) const {
    const int n = std::max(1, viewCount());
    const int w = width() / n;
    return QRect(index * w, 0, w, height());
}

QRectF ImagePanel::imageRect(const PanelView& view, const QRect& area) const {
    const DicomImage* image = shownImage(view);
    if (!image) return QRectF();
    const QSizeF size = displaySize(*image).scaled(QSizeF(area.size()), Qt::KeepAspectRatio) * view.zoom;
    const QPointF centre = QRectF(area).center() + view.pan;
    return QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size);
}

void ImagePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x18, 0x18, 0x20));
    for (int i = 0; i < viewCount(); ++i) {
        const PanelView& v = *m_views[static_cast<size_t>(i)];
        const QRect area = viewRect(i).adjusted(2, 2, -2, -2);
        if (const DicomImage* image = shownImage(v)) {
            double center = 0, width = 1;
            windowOf(v, center, width);
            painter.save();
            painter.setClipRect(area);
            painter.drawImage(imageRect(v, area), renderImage(*image, center, width));
            painter.restore();
        }
        // The cell marks the active cell; the active view only matters among several.
        painter.setPen(i == m_active && viewCount() > 1 ? QColor(255, 200, 0) : QColor(90, 90, 100));
        painter.drawRect(viewRect(i).adjusted(0, 0, -1, -1));
        if (m_database.groupById(m_groupId)) paintTexts(painter, v, area);
    }
}

PanelTexts ImagePanel::textsOf(const PanelView& view) const {
    PanelTexts texts;
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!group) return texts;
    const DicomImage* image = m_database.image(imageIdOf(view));
    QStringList topLeft, topRight;
    topRight << QString("Im %1/%2").arg(view.imageIndex + 1).arg(group->imageIds.size());
    if (image) {
        const ImageTexts& t = image->texts();
        topLeft << t.patientName << t.patientId << readableDate(t.studyDate);
        topRight.prepend(t.seriesDescription);
        if (image->hasGeometry())
            topRight << QString("Pos %1, %2, %3 mm")
                            .arg(image->position()[0], 0, 'f', 1)
                            .arg(image->position()[1], 0, 'f', 1)
                            .arg(image->position()[2], 0, 'f', 1);
        const std::array<QString, 4> edges = edgeLetters(*image);
        texts.left = edges[0];
        texts.right = edges[1];
        texts.top = edges[2];
        texts.bottom = edges[3];
    }
    topLeft.removeAll(QString());
    topRight.removeAll(QString());
    double center = 0, width = 1;
    windowOf(view, center, width);
    texts.topLeft = topLeft.join('\n');
    texts.topRight = topRight.join('\n');
    texts.bottomLeft = QString("W %1 L %2").arg(std::lround(width)).arg(std::lround(center));
    texts.bottomRight = QString("Zoom %1%").arg(std::lround(view.zoom * 100));
    return texts;
}

void ImagePanel::paintTexts(QPainter& painter, const PanelView& view, const QRect& area) const {
    const PanelTexts t = textsOf(view);
    QFont font = painter.font();
    font.setPixelSize(std::clamp(area.height() / 40, 9, 13));
    painter.setFont(font);
    painter.setPen(QColor(220, 220, 220));
    const QRect inner = area.adjusted(4, 2, -4, -2);
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop, t.topLeft);
    painter.drawText(inner, Qt::AlignRight | Qt::AlignTop, t.topRight);
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignBottom, t.bottomLeft);
    painter.drawText(inner, Qt::AlignRight | Qt::AlignBottom, t.bottomRight);
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, t.left);
    painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, t.right);
    painter.drawText(inner, Qt::AlignHCenter | Qt::AlignTop, t.top);
    painter.drawText(inner, Qt::AlignHCenter | Qt::AlignBottom, t.bottom);
}

void ImagePanel::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (event->modifiers() & Qt::ControlModifier) zoomBy(std::pow(kZoomStep, steps));
    else scroll(-steps);
    event->accept();
}

void ImagePanel::mousePressEvent(QMouseEvent* event) {
    for (int i = 0; i < viewCount(); ++i)
        if (viewRect(i).contains(event->position().toPoint())) setActiveView(i);
    m_pressAt = m_lastAt = event->position().toPoint();
    m_moved = false;
    const Qt::KeyboardModifiers keys = event->modifiers();
    const Qt::MouseButton button = event->button();
    m_drag = Drag::None;
    if (button == Qt::LeftButton && (keys & Qt::ControlModifier)) m_drag = Drag::Window;
    else if (button == Qt::LeftButton && (keys & Qt::ShiftModifier)) m_drag = Drag::Pan;
    else if (button == Qt::LeftButton) m_drag = Drag::Panel;
    else if (button == Qt::RightButton && (keys & Qt::ShiftModifier)) m_drag = Drag::Zoom;
    else if (button == Qt::RightButton) m_drag = Drag::Window;
    else if (button == Qt::MiddleButton) m_drag = Drag::Pan;
    if (const PanelView* v = view(m_active)) windowOf(*v, m_pressCenter, m_pressWidth);
    event->ignore();  // the cell becomes active too
}

void ImagePanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_drag == Drag::None || !m_database.groupById(m_groupId)) return;
    if (!m_moved && (at - m_pressAt).manhattanLength() < QApplication::startDragDistance()) return;
    m_moved = true;
    const QPoint step = at - m_lastAt;
    m_lastAt = at;
    switch (m_drag) {
    case Drag::Panel: {
        m_drag = Drag::None;
        auto* mime = new QMimeData;
        mime->setData("application/x-quarvia-panel", QByteArray::number(m_cellIndex));
        QDrag drag(this);
        drag.setMimeData(mime);
        drag.exec(Qt::CopyAction);
        break;
    }
    case Drag::Window: {
        // Right widens the window, down raises the level; in steps that
        // follow the window the drag started with.
        const double factor = std::max(m_pressWidth, 2.0) / kWindowDragPixels;
        const QPoint total = at - m_pressAt;
        setWindow(m_pressCenter + total.y() * factor, std::max(1.0, m_pressWidth + total.x() * factor));
        break;
    }
    case Drag::Pan:
        if (PanelView* v = view(m_active)) v->pan += QPointF(step);
        update();
        break;
    case Drag::Zoom: zoomBy(std::pow(kZoomStep, -step.y() / 20.0)); break;
    case Drag::None: break;
    }
}

void ImagePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && !m_moved && m_database.groupById(m_groupId))
        showPresetMenu(event->globalPosition().toPoint());
    m_drag = Drag::None;
}

void ImagePanel::showPresetMenu(const QPoint& at) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int i = 0; i < static_cast<int>(kCtPresets.size()); ++i) {
        const WindowPreset& preset = kCtPresets[size_t(i)];
        menu->addAction(QString("%1 (%2)").arg(preset.name).arg(preset.key), this, [this, i] { applyPreset(i); });
    }
    menu->addAction("Image's Own Window (0)", this, [this] { setWindow(0, 0); });
    menu->addSeparator();
    menu->addAction("Fit (F)", this, [this] { fit(); });
    menu->popup(at);  // never blocks: scripts and tests go on
}

void ImagePanel::keyPressEvent(QKeyEvent* event) {
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!group) return QWidget::keyPressEvent(event);
    const int count = static_cast<int>(group->imageIds.size());
    const int page = std::max(1, count / 10);
    switch (event->key()) {
    case Qt::Key_Up: case Qt::Key_Left: scroll(-1); break;
    case Qt::Key_Down: case Qt::Key_Right: scroll(1); break;
    case Qt::Key_PageUp: scroll(-page); break;
    case Qt::Key_PageDown: scroll(page); break;
    case Qt::Key_Home: scroll(-count); break;
    case Qt::Key_End: scroll(count); break;
    case Qt::Key_Plus: case Qt::Key_Equal: zoomBy(kZoomStep); break;
    case Qt::Key_Minus: zoomBy(1 / kZoomStep); break;
    case Qt::Key_F: fit(); break;
    case Qt::Key_0: setWindow(0, 0); break;
    default: {
        for (int i = 0; i < static_cast<int>(kCtPresets.size()); ++i)
            if (event->key() == kCtPresets[size_t(i)].key) return applyPreset(i);
        return QWidget::keyPressEvent(event);
    }
    }
}

}  // namespace quarvia
