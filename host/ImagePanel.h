#pragma once

#include "CornerTexts.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace quarvia {

class DicomImage;
class StudyDatabase;

// One view of a panel: which image of the group it shows, with what window,
// how far zoomed and panned.
struct PanelView {
    int imageIndex = 0;
    double center = 0;
    double width = 0;   // 0: the image's own window
    double zoom = 1;    // 1: the image fits the view
    QPointF pan;        // screen pixels from the view's centre
};

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
    ImagePanel(StudyDatabase& database, int cellIndex, QWidget* parent);

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
    // The active view's state in one line (scripts and tests read it).
    QString stateText() const;
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
    enum class Drag { None, Panel, Window, Pan, Zoom };

    const DicomImage* shownImage(const PanelView& view) const;
    QRect viewRect(int index) const;
    // Where the image of a view is drawn.
    QRectF imageRect(const PanelView& view, const QRect& area) const;
    void paintTexts(QPainter& painter, const PanelView& view, const QRect& area) const;
    void showPresetMenu(const QPoint& at);

    StudyDatabase& m_database;
    int m_cellIndex;
    int m_groupId = 0;
    int m_active = 0;
    std::vector<std::unique_ptr<PanelView>> m_views;
    Drag m_drag = Drag::None;
    QPoint m_pressAt;
    QPoint m_lastAt;
    bool m_moved = false;
    double m_pressCenter = 0, m_pressWidth = 1;
};

}  // namespace quarvia
