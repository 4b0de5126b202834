#pragma once

#include <QFrame>
#include <QPointer>

namespace quarvia {

// One grid cell: shows an image panel or holds a plug-in window.
class HostCell : public QFrame {
    Q_OBJECT
public:
    HostCell(int index, QWidget* parent);

    int index() const { return m_index; }
    QWidget* pluginWindow() const { return m_pluginWindow.data(); }
    void setPluginWindow(QWidget* window) { m_pluginWindow = window; }
    void setActive(bool active);

signals:
    void activated(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_index;
    bool m_active = false;
    QPointer<QWidget> m_pluginWindow;
};

}  // namespace quarvia
