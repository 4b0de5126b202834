#pragma once

#include <QFrame>
#include <QPointer>
#include <QStringList>

#include <string>

namespace quarvia {

class ImagePanel;
class ReadingState;
class StudyDatabase;

// One grid cell: shows an image panel or holds a plug-in window. Accepts
// dropped panels, also over its plug-in window.
class HostCell : public QFrame {
    Q_OBJECT
public:
    HostCell(int index, StudyDatabase& database, ReadingState& reading, QWidget* parent);

    int index() const { return m_index; }
    QWidget* pluginWindow() const { return m_pluginWindow.data(); }
    void setPluginWindow(QWidget* window, const std::string& pluginId = std::string());
    const std::string& pluginId() const { return m_pluginId; }
    ImagePanel* panel() const { return m_panel; }
    void setActive(bool active);

signals:
    void activated(int index);
    void panelDropped(int fromCell, int toCell);
    void seriesDropped(int groupId, int toCell);
    void filesDropped(const QStringList& paths, int toCell);
    // A double-click on the cell (its border, or a panel that leaves it to the cell).
    void maximiseRequested(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_index;
    bool m_active = false;
    ImagePanel* m_panel;
    QPointer<QWidget> m_pluginWindow;
    std::string m_pluginId;
};

}  // namespace quarvia
