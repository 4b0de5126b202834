#include "ImagePanel.h"

#include "CornerTexts.h"
#include "HostCell.h"
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

ImagePanel::ImagePanel(StudyDatabase& database, ReadingState& reading, int cellIndex, QWidget* parent)
    : QWidget(parent), m_database(database), m_reading(reading), m_pictures(database, reading), m_cellIndex(cellIndex) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);  // the value readout follows the pointer
    connect(&reading, &ReadingState::changed, this, qOverload<>(&QWidget::update));
    connect(&reading, &ReadingState::cursorPlaced, this, &ImagePanel::followCursor);
}

ImagePanel::~ImagePanel() = default;

void ImagePanel::setGroup(int groupId, int viewCount) {
    m_groupId = groupId;
    m_views.clear();
    m_active = 0;
    m_drawing.cancel();
    if (!groupId) m_reading.withdrawPlane(this);
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

void ImagePanel::scroll(int steps) {
    PanelView* v = view(m_active);
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!v || !group || group->imageIds.empty()) return;
    if (v->plane != PlaneKind::Acquired) {
        // A reformat pages by moving its series' crossing along its normal.
        ShownPicture picture;
        PlaneFrame* frame = m_reading.frameOf(m_groupId);
        if (!frame || !pictureOf(*v, picture)) return;
        int index = 0, count = 1;
        planeIndexOf(*v, index, count);
        const int target = std::clamp(index + steps, 0, count - 1);
        const Vec3d n = picture.plane.normal();
        const double move = (target - index) * picture.plane.step;
        m_reading.moveCrossing(m_groupId, {frame->point[0] + move * n[0], frame->point[1] + move * n[1],
                                           frame->point[2] + move * n[2]});
        return;
    }
    v->imageIndex = std::clamp(v->imageIndex + steps, 0, static_cast<int>(group->imageIds.size()) - 1);
    update();
}

bool ImagePanel::setPlane(PlaneKind kind, QString& why) {
    PanelView* v = view(m_active);
    if (!v) return (why = "the cell shows no series"), false;
    if (kind != PlaneKind::Acquired && !m_reading.volumeOf(m_groupId, &why)) return false;
    v->plane = kind;
    v->zoom = 1;
    v->pan = QPointF();
    update();
    return true;
}

void ImagePanel::setSlab(SlabMode slab, double thicknessMm) {
    PanelView* v = view(m_active);
    if (!v) return;
    v->slab = slab;
    if (std::isfinite(thicknessMm) && thicknessMm > 0) v->slabMm = std::min(thicknessMm, 500.0);
    update();
}

void ImagePanel::followCursor() {
    const PatientCursor& cursor = m_reading.cursor();
    if (!cursor.visible || !m_database.groupById(m_groupId) ||
        m_reading.frameKeyOf(m_groupId) != m_reading.frameKeyOf(cursor.groupId))
        return;
    // A point outside the series leaves the views alone.
    const int image = m_pictures.imageHolding(m_groupId, cursor.point);
    if (image < 0) return;
    for (const auto& v : m_views)
        if (v->plane == PlaneKind::Acquired) v->imageIndex = image;
    update();
}

std::string ImagePanel::imageIdOf(const PanelView& view) const { return m_pictures.imageIdOf(m_groupId, view); }

bool ImagePanel::pictureOf(const PanelView& view, ShownPicture& picture) const {
    return m_pictures.pictureOf(m_groupId, view, picture);
}

void ImagePanel::planeIndexOf(const PanelView& view, int& index, int& count) const {
    m_pictures.planeIndexOf(m_groupId, view, index, count);
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
    int index = 0, count = 0;
    planeIndexOf(*v, index, count);
    return QString("%8 %1/%2 window %3/%4 zoom %5 pan %6,%7")
        .arg(index + 1)
        .arg(count)
        .arg(center, 0, 'g', 6)
        .arg(width, 0, 'g', 6)
        .arg(v->zoom, 0, 'g', 4)
        .arg(std::lround(v->pan.x()))
        .arg(std::lround(v->pan.y()))
        .arg(v->plane == PlaneKind::Acquired ? QString("image") : QString(planeName(v->plane)).toLower());
}

QString ImagePanel::cursorText() const {
    const PanelView* v = view(m_active);
    const PatientCursor& cursor = m_reading.cursor();
    ShownPicture picture;
    if (!v || !cursor.visible || m_reading.frameKeyOf(m_groupId) != m_reading.frameKeyOf(cursor.groupId) ||
        !pictureOf(*v, picture) || std::fabs(picture.plane.distanceTo(cursor.point)) > picture.plane.step / 2 + 1e-6)
        return "none";
    double c, r;
    picture.plane.pixelOf(cursor.point, c, r);
    if (!picture.plane.coversPixel(c, r)) return "none";
    const QPointF at = screenMapOf(*v, viewRect(m_active).adjusted(2, 2, -2, -2)).toScreen(c, r);
    int index = 0, count = 0;
    planeIndexOf(*v, index, count);
    const QString sop = picture.image ? " sop " + QString::fromStdString(picture.image->sopUid()) : QString();
    return QString("image %1/%2%7 pixel %3 %4 screen %5 %6")
        .arg(index + 1)
        .arg(count)
        .arg(c, 0, 'f', 2)
        .arg(r, 0, 'f', 2)
        .arg(at.x(), 0, 'f', 1)
        .arg(at.y(), 0, 'f', 1)
        .arg(sop);
}

QRect ImagePanel::viewRect(int index) const {
    const int n = std::max(1, viewCount());
    const int w = width() / n;
    return QRect(index * w, 0, w, height());
}

QRectF ImagePanel::imageRect(const PanelView& view, const QRect& area) const {
    ShownPicture picture;
    if (!pictureOf(view, picture)) return QRectF();
    const QSizeF natural = picture.image ? displaySize(*picture.image)
                                         : QSizeF(picture.plane.columns * picture.plane.du / picture.plane.dv, picture.plane.rows);
    const QSizeF size = natural.scaled(QSizeF(area.size()), Qt::KeepAspectRatio) * view.zoom;
    const QPointF centre = QRectF(area).center() + view.pan;
    return QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size);
}

ScreenMap ImagePanel::screenMapOf(const PanelView& view, const QRect& area) const {
    ScreenMap map;
    ShownPicture picture;
    if (!pictureOf(view, picture)) return map;
    map.rect = imageRect(view, area);
    map.columns = std::max(1, picture.plane.columns);
    map.rows = std::max(1, picture.plane.rows);
    return map;
}

void ImagePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x18, 0x18, 0x20));
    for (int i = 0; i < viewCount(); ++i) {
        const PanelView& v = *m_views[static_cast<size_t>(i)];
        const QRect area = viewRect(i).adjusted(2, 2, -2, -2);
        ShownPicture picture;
        if (pictureOf(v, picture)) {
            double center = 0, width = 1;
            windowOf(v, center, width);
            painter.save();
            painter.setClipRect(area);
            const ScreenMap map = screenMapOf(v, area);
            painter.drawImage(map.rect, picture.image ? renderImage(*picture.image, center, width)
                                                      : renderValues(picture.values->data(), picture.plane.columns,
                                                                     picture.plane.rows, center, width));
            painter.setRenderHint(QPainter::Antialiasing);
            paintOverlays(painter, v, picture, map);
            painter.restore();
            // A panel under a plug-in window shows nothing of its own: no reference lines from it.
            const auto* cell = qobject_cast<const HostCell*>(parentWidget());
            if (cell && cell->pluginWindow()) m_reading.withdrawPlane(this);
            else if (i == m_active)
                m_reading.publishPlane(this, {m_reading.frameKeyOf(m_groupId), m_groupId, v.plane, picture.plane});
        }
        // The cell marks the active cell; the active view only matters among several.
        painter.setPen(i == m_active && viewCount() > 1 ? QColor(255, 200, 0) : QColor(90, 90, 100));
        painter.drawRect(viewRect(i).adjusted(0, 0, -1, -1));
        if (m_database.groupById(m_groupId)) paintTexts(painter, v, area);
    }
}

void ImagePanel::paintOverlays(QPainter& painter, const PanelView& view, const ShownPicture& picture, const ScreenMap& map) {
    const std::string key = m_reading.frameKeyOf(m_groupId);
    const ImagePlane& plane = picture.plane;
    // A reformat's crossing: the lines of its series' other two planes.
    if (view.plane != PlaneKind::Acquired)
        if (PlaneFrame* frame = m_reading.frameOf(m_groupId); frame && m_reading.volumeOf(m_groupId)) {
            double c, r;
            plane.pixelOf(frame->point, c, r);
            const QPointF crossing = map.toScreen(c, r);
            for (PlaneKind other : {PlaneKind::Axial, PlaneKind::Coronal, PlaneKind::Sagittal})
                if (other != view.plane)
                    paintPlaneLine(painter, map, plane, m_reading.volumeOf(m_groupId)->planeThrough(frame->point, frame->axes, other),
                                   colourOfPlane(other), false, &crossing);
        }
    // Reference lines: what the other panels show of the same frame of reference.
    for (const PublishedPlane& other : m_reading.planesBesides(this)) {
        if (other.frameKey != key) continue;
        if (view.plane != PlaneKind::Acquired && other.kind != PlaneKind::Acquired && other.groupId == m_groupId) continue;
        paintPlaneLine(painter, map, plane, other.plane, colourOfPlane(other.kind), true);
    }
    const PatientCursor& cursor = m_reading.cursor();
    if (cursor.visible && m_reading.frameKeyOf(cursor.groupId) == key &&
        std::fabs(plane.distanceTo(cursor.point)) <= plane.step / 2 + 1e-6) {
        double c, r;
        plane.pixelOf(cursor.point, c, r);
        if (plane.coversPixel(c, r)) paintCursorMark(painter, map.toScreen(c, r));
    }
    const SeriesGroup* group = m_database.groupById(m_groupId);
    for (const Measurement& m : m_reading.measurements())
        if (group && m.seriesUid == group->seriesUid && liesOn(m, plane)) paintMeasurement(painter, map, plane, m);
    if (m_drawing.active() && &view == this->view(m_active)) paintMeasurement(painter, map, plane, m_drawing.shape());
}

QString ImagePanel::unitOf() const {
    const SeriesGroup* group = m_database.groupById(m_groupId);
    const DicomImage* image = group && !group->imageIds.empty() ? m_database.image(group->imageIds.front()) : nullptr;
    return image && image->texts().modality == "CT" ? QString("HU") : QString();
}

QString ImagePanel::valueText(const ShownPicture& picture, double column, double row) const {
    const int c = int(std::lround(column)), r = int(std::lround(row));
    const double value = picture.value(c, r);
    if (std::isnan(value) || !picture.plane.coversPixel(column, row)) return QString();
    const Vec3d p = picture.plane.patientOf(c, r);
    const QString unit = unitOf();
    return QString("Value %1%2 at %3, %4, %5 mm")
        .arg(value, 0, 'f', picture.values ? 1 : 0)
        .arg(unit.isEmpty() ? QString() : " " + unit)
        .arg(p[0], 0, 'f', 1)
        .arg(p[1], 0, 'f', 1)
        .arg(p[2], 0, 'f', 1);
}

PanelView* ImagePanel::pictureAt(const QPoint& at, ShownPicture& picture, double& column, double& row) {
    for (int i = 0; i < viewCount(); ++i) {
        if (!viewRect(i).contains(at)) continue;
        PanelView* v = view(i);
        if (!pictureOf(*v, picture)) return nullptr;
        screenMapOf(*v, viewRect(i).adjusted(2, 2, -2, -2)).toPixel(QPointF(at), column, row);
        return v;
    }
    return nullptr;
}

bool ImagePanel::valueAt(const QPoint& at, double& value, Vec3d& patient) {
    ShownPicture picture;
    double c = 0, r = 0;
    if (!pictureAt(at, picture, c, r) || !picture.plane.coversPixel(c, r)) return false;
    value = picture.value(int(std::lround(c)), int(std::lround(r)));
    patient = picture.plane.patientOf(std::lround(c), std::lround(r));
    return !std::isnan(value);
}

QString ImagePanel::readoutAt(const QPoint& at) {
    ShownPicture picture;
    double c = 0, r = 0;
    PanelView* v = pictureAt(at, picture, c, r);
    const QString text = v ? valueText(picture, c, r) : QString();
    if (text != m_readout || viewIndex(v) != m_readoutView) {
        m_readout = text;
        m_readoutView = viewIndex(v);
        update();
    }
    return text;
}

PanelTexts ImagePanel::textsOf(const PanelView& view) const {
    PanelTexts texts;
    const SeriesGroup* group = m_database.groupById(m_groupId);
    if (!group) return texts;
    const DicomImage* image = m_database.image(imageIdOf(view));
    QStringList topLeft, topRight;
    int index = 0, count = 0;
    planeIndexOf(view, index, count);
    if (view.plane == PlaneKind::Acquired) topRight << QString("Im %1/%2").arg(index + 1).arg(count);
    else topRight << QString("%1 %2/%3").arg(planeName(view.plane)).arg(index + 1).arg(count);
    if (view.plane != PlaneKind::Acquired && view.slab != SlabMode::Off)
        topRight << QString("%1 %2 mm").arg(slabName(view.slab)).arg(view.slabMm, 0, 'g', 4);
    ShownPicture picture;
    const bool shown = pictureOf(view, picture);
    if (image) {
        const ImageTexts& t = image->texts();
        topLeft << t.patientName << t.patientId << readableDate(t.studyDate);
        topRight.prepend(t.seriesDescription);
        if (image->hasGeometry() && view.plane == PlaneKind::Acquired)
            topRight << QString("Pos %1, %2, %3 mm")
                            .arg(image->position()[0], 0, 'f', 1)
                            .arg(image->position()[1], 0, 'f', 1)
                            .arg(image->position()[2], 0, 'f', 1);
        const std::array<QString, 4> edges =
            view.plane == PlaneKind::Acquired || !shown ? edgeLetters(*image) : edgeLetters(picture.plane.u, picture.plane.v);
        texts.left = edges[0];
        texts.right = edges[1];
        texts.top = edges[2];
        texts.bottom = edges[3];
    }
    topLeft.removeAll(QString());
    topRight.removeAll(QString());
    double center = 0, width = 1;
    windowOf(view, center, width);
    // Where the planes cross (reformats), or the 3D cursor when it is on this picture.
    const PatientCursor& cursor = m_reading.cursor();
    PlaneFrame* frame = view.plane != PlaneKind::Acquired ? m_reading.frameOf(m_groupId) : nullptr;
    const bool cursorHere = cursor.visible && shown &&
                            m_reading.frameKeyOf(cursor.groupId) == m_reading.frameKeyOf(m_groupId) &&
                            std::fabs(picture.plane.distanceTo(cursor.point)) <= picture.plane.step / 2 + 1e-6;
    if (frame || cursorHere) {
        const Vec3d p = cursorHere ? cursor.point : frame->point;
        topRight << QString("Cursor %1, %2, %3 mm").arg(p[0], 0, 'f', 1).arg(p[1], 0, 'f', 1).arg(p[2], 0, 'f', 1);
    }
    texts.topLeft = topLeft.join('\n');
    texts.topRight = topRight.join('\n');
    texts.bottomLeft = QString("W %1 L %2").arg(std::lround(width)).arg(std::lround(center));
    if (!m_readout.isEmpty() && viewIndex(&view) == m_readoutView) texts.bottomLeft = m_readout + "\n" + texts.bottomLeft;
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
    const bool tool = m_reading.tool() != ReadingTool::Pointer && m_database.groupById(m_groupId);
    if (button == Qt::LeftButton && (keys & Qt::ControlModifier)) m_drag = Drag::Window;
    else if (button == Qt::LeftButton && tool) toolPress(m_pressAt, keys & Qt::ShiftModifier);
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
    readoutAt(at);
    if (m_drag == Drag::Tool || m_drag == Drag::Turn || (m_drawing.active() && m_drag == Drag::None)) return toolMove(at);
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
    case Drag::None: case Drag::Tool: case Drag::Turn: break;
    }
}

void ImagePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && !m_moved && m_database.groupById(m_groupId))
        showPresetMenu(event->globalPosition().toPoint());
    if (event->button() == Qt::LeftButton && (m_drag == Drag::Tool || m_drag == Drag::Turn)) {
        toolMove(event->position().toPoint());  // the point where the button came up counts
        toolRelease();
    }
    m_drag = Drag::None;
}

void ImagePanel::toolPress(const QPoint& at, bool shift) {
    ShownPicture picture;
    double c = 0, r = 0;
    PanelView* v = pictureAt(at, picture, c, r);
    if (!v || viewIndex(v) != m_active) return;
    const Vec3d p = picture.plane.patientOf(c, r);
    const ReadingTool tool = m_reading.tool();
    m_drag = Drag::Tool;
    if (tool == ReadingTool::Crosshair && shift && v->plane != PlaneKind::Acquired) {
        // Turning the crossing about this plane's normal makes the others oblique.
        m_drag = Drag::Turn;
        m_turnAngle = angleAroundCrossing(*v, picture, at);
    } else if (tool == ReadingTool::Crosshair) {
        m_reading.placeCursor(m_groupId, p);
    } else {
        const MeasureKind kind = tool == ReadingTool::Distance ? MeasureKind::Distance
                                 : tool == ReadingTool::Angle  ? MeasureKind::Angle
                                 : tool == ReadingTool::Ellipse ? MeasureKind::Ellipse
                                                                : MeasureKind::Freehand;
        m_drawing.press(kind, m_database.groupById(m_groupId)->seriesUid, picture.plane, p);
        update();
    }
}

double ImagePanel::angleAroundCrossing(const PanelView& view, const ShownPicture& picture, const QPoint& at) const {
    const PlaneFrame* frame = m_reading.knownFrame(m_groupId);
    double fc = 0, fr = 0;
    if (frame) picture.plane.pixelOf(frame->point, fc, fr);
    const QPointF centre = screenMapOf(view, viewRect(viewIndex(&view)).adjusted(2, 2, -2, -2)).toScreen(fc, fr);
    return std::atan2(at.y() - centre.y(), at.x() - centre.x());
}

void ImagePanel::toolMove(const QPoint& at) {
    ShownPicture picture;
    const PanelView* v = view(m_active);
    if (!v || !pictureOf(*v, picture)) return;
    double c = 0, r = 0;
    screenMapOf(*v, viewRect(m_active).adjusted(2, 2, -2, -2)).toPixel(QPointF(at), c, r);
    const Vec3d p = picture.plane.patientOf(c, r);
    if (m_drag == Drag::Turn) {
        const double angle = angleAroundCrossing(*v, picture, at);
        m_reading.turnPlanes(m_groupId, picture.plane.normal(), angle - m_turnAngle);
        m_turnAngle = angle;
    } else if (m_reading.tool() == ReadingTool::Crosshair) {
        if (m_drag == Drag::Tool) m_reading.placeCursor(m_groupId, p);
    } else if (m_drawing.active()) {
        m_drawing.move(picture.plane, p, m_drag == Drag::Tool);
        update();
    }
}

void ImagePanel::toolRelease() {
    Measurement m;
    ShownPicture picture;
    const PanelView* v = view(m_active);
    if (!m_drawing.release() || !m_drawing.take(m) || !v || !pictureOf(*v, picture)) return update();
    m.unit = unitOf();
    completeMeasurement(m, picture.plane, [&picture](int column, int row) { return picture.value(column, row); });
    m_reading.addMeasurement(std::move(m));
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
    int index = 0, count = 0;
    if (const PanelView* v = view(m_active)) planeIndexOf(*v, index, count);
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
    case Qt::Key_Escape:
        m_drawing.cancel();
        m_reading.setTool(ReadingTool::Pointer);
        update();
        break;
    default: {
        for (int i = 0; i < static_cast<int>(kCtPresets.size()); ++i)
            if (event->key() == kCtPresets[size_t(i)].key) return applyPreset(i);
        return QWidget::keyPressEvent(event);
    }
    }
}

}  // namespace quarvia
