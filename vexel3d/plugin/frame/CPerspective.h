#pragma once
// The 3D view widget that fills a 3D window: paints the frame pipeline's
// image, keeps the context menu, answers the view's commands and turns
// mouse and keyboard events into the tool operations.

#include "interact/ViewWindow.h"
#include "interact/WheelSteps.h"
#include "view/ViewCore.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QMenu;

namespace v3d {

class CBackground;

class CPerspective : public QWidget, public ViewCore, public ViewWindow {
    Q_OBJECT
public:
    explicit CPerspective(CBackground* frame);
    ~CPerspective() override;

    // Binding to the frame: renderers, preferences, preset menu items.
    void bindToFrame(const RendererFactory& makeRenderer);

    // View commands (toolbars, context menu); answers whether handled.
    bool onCommand(int command, int code, void* extra);

    // A series is there (commands); inputReady: and all its images too (mouse, keys).
    bool ready() const;
    bool inputReady() const;
    QVWindowHandle viewHandle() { return reinterpret_cast<QVWindowHandle>(static_cast<QWidget*>(this)); }
    // Armed by a right press; any other input in between disarms it, so a
    // right drag never ends in the context menu.
    bool popupArmed() const { return m_bPopupArmed; }
    QMenu* contextMenu() const { return m_menu.get(); }
    void showContextMenu(const QPoint& globalPos);
    // The setup dialog for this view (Configure), modal.
    void configure();
    // "Remember current...": asks for a name and keeps the current
    // isovalue and colouring as a preset.
    void rememberCurrentPreset();

    // RenderHost
    bool mouseInputWaiting() override;
    void invalidateFromWorker() override;

    // ViewWindow
    void setCursorShape(CursorShape shape) override;
    void showCursor() override;
    void hideCursor() override;
    ClientPoint cursorScreenPosition() const override;
    void warpCursor(ClientPoint screen) override;
    void releaseCursorClip() override {}
    void setWaitCursor(bool on) override;
    void notify(ViewNotice notice) override;
    int clientWidth() const override { return width(); }
    int clientHeight() const override { return height(); }
    QVWindowHandle frameHandle() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void invalidate() override { update(); }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Focus, the host grid's active cell and the application's active window.
    void activate();
    // The changed state groups to the collaboration peers. Input handlers
    // call it only with what a user holding control changed.
    void sendMask(int mask);
    void buildContextMenu();
    void addPresetMenuItems(int index);
    void rebuildPresetMenuItems();

    CBackground* m_frame;
    std::unique_ptr<QMenu> m_menu;
    QMenu* m_quickMenu = nullptr;
    QMenu* m_deleteMenu = nullptr;
    QElapsedTimer m_renderClock;
    bool m_bPopupArmed = false;
    bool m_cursorHidden = false;
    CursorShape m_cursorShape = CursorShape::Arrow;
    WheelSteps m_wheelSteps;
};

}  // namespace v3d
