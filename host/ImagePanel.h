#pragma once

#include "CornerTexts.h"
#include "PanelPictures.h"
#include "reading/MeasureDrawing.h"
#include "reading/OverlayPainter.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <QRect>

#include <memory>
#include <string>
#include <vector>

namespace quarvia {

class DicomImage;
class StudyDatabase;

// An image panel: shows a group in one or more views side by side. It keeps
// the group's id, not its images, so that removed images are never touched.
//
// Mouse: a left drag carries the panel to another cell; a right drag (or
// Ctrl with the left button) sets window and level; a middle drag (or Shift
// with the left button) pans; Ctrl with the wheel or Shift with a right drag
// zooms; the wheel pages. A right click without moving opens the presets.
// Keys: arrows and Page Up/Down page, Home/End jump, 1-4 choose a CT preset,
// 0 the image's own window, +/- zoom, F fits the image again.
class ImagePanel : public QWidget {
    Q_OBJECT
public:
    ImagePanel(StudyDatabase& database, ReadingState& reading, int cellIndex, QWidget* parent);
    ~ImagePanel() override;

    int cellIndex() const { return m_cellIndex; }
    int groupId() const { return m_groupId; }
    void setGroup(int groupId, int viewCount = 1);
    void clear() { setGroup(0); }

    int viewCount() const { return static_cast<int>(m_views.size()); }
    PanelView* view(int index) const;
    int viewIndex(const PanelView* view) const;
    int activeView() const { return m_views.empty() ? -1 : m_active; }
    void setActiveView(int index);
    // The image a view shows; empty when none.
    std::string imageIdOf(const PanelView& view) const;
    // Scrolls the active view by `steps` images, clamped to the group.
    void scroll(int steps);
    // The window a view uses: its own, else the image's, else its range.
    void windowOf(const PanelView& view, double& center, double& width) const;

    // The active view: a window (width <= 0: the image's own), a preset,
    // zoom by a factor, back to fitting.
    void setWindow(double center, double width);
    void applyPreset(int index);
    void zoomBy(double factor);
    void fit();
    // The active view's plane: acquired images or a reformat of the
    // series' volume; false with the reason when the series forms none.
    bool setPlane(PlaneKind kind, QString& why);
    void setSlab(SlabMode slab, double thicknessMm);
    // The picture a view shows; false when there is none to show.
    bool pictureOf(const PanelView& view, ShownPicture& picture) const;
    // A reformat's place in its stack of planes (0-based) and their count.
    void planeIndexOf(const PanelView& view, int& index, int& count) const;
    // Pages the acquired views to the image nearest the 3D cursor.
    void followCursor();
    // The active view's state in one line (scripts and tests read it).
    QString stateText() const;
    // Where the 3D cursor is drawn in the active view: "none", or its pixel
    // (column row of the picture) and its place on the panel.
    QString cursorText() const;
    // The value under a point of the panel, as the readout shows it.
    QString readoutAt(const QPoint& at);
    // The value of the pixel under a point of the panel and its centre in
    // the patient; false off the picture.
    bool valueAt(const QPoint& at, double& value, Vec3d& patient);
    // The texts drawn over a view's image.
    PanelTexts textsOf(const PanelView& view) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Panel, Window, Pan, Zoom, Tool, Turn };

    ScreenMap screenMapOf(const PanelView& view, const QRect& area) const;
    // The view under a panel point with the picture's pixel there.
    PanelView* pictureAt(const QPoint& at, ShownPicture& picture, double& column, double& row);
    void paintOverlays(QPainter& painter, const PanelView& view, const ShownPicture& picture, const ScreenMap& map);
    QString valueText(const ShownPicture& picture, double column, double row) const;
    QString unitOf() const;
    // The reading tools' mouse: a point of the picture under the pointer.
    void toolPress(const QPoint& at, bool shift);
    void toolMove(const QPoint& at);
    void toolRelease();
    // The pointer's angle about the crossing of a reformat, on screen.
    double angleAroundCrossing(const PanelView& view, const ShownPicture& picture, const QPoint& at) const;
    QRect viewRect(int index) const;
    // Where the image of a view is drawn.
    QRectF imageRect(const PanelView& view, const QRect& area) const;
    void paintTexts(QPainter& painter, const PanelView& view, const QRect& area) const;
    void showPresetMenu(const QPoint& at);

    StudyDatabase& m_database;
    ReadingState& m_reading;
    PanelPictures m_pictures;
    int m_cellIndex;
    int m_groupId = 0;
    int m_active = 0;
    std::vector<std::unique_ptr<PanelView>> m_views;
    Drag m_drag = Drag::None;
    QPoint m_pressAt;
    QPoint m_lastAt;
    bool m_moved = false;
    double m_pressCenter = 0, m_pressWidth = 1;
    MeasureDrawing m_drawing;
    double m_turnAngle = 0;
    QString m_readout;  // under the pointer
    int m_readoutView = -1;
};

}  // namespace quarvia
