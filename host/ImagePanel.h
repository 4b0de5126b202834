#pragma once

#include <QImage>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace quarvia {

class StudyDatabase;

// One view of a panel: which image of the group it shows, with what window.
struct PanelView {
    int imageIndex = 0;
    double center = 0;
    double width = 0;  // 0: the image's own window
};

// An image panel: shows a group in one or more views side by side. It keeps
// the group's id, not its images, so that removed images are never touched.
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


protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QImage render(const PanelView& view) const;
    QRect viewRect(int index) const;

    StudyDatabase& m_database;
    int m_cellIndex;
    int m_groupId = 0;
    int m_active = 0;
    std::vector<std::unique_ptr<PanelView>> m_views;
    QPoint m_pressAt;
    bool m_pressed = false;
};

}  // namespace quarvia
