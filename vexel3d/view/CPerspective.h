#pragma once
// The 3D view widget that fills a 3D window: paints the frame pipeline's
// image, keeps the context menu and answers the view's commands.

#include "view/ViewCore.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QMenu;

namespace v3d {

class CBackground;

class CPerspective : public QWidget, public ViewCore {
    Q_OBJECT
public:
    explicit CPerspective(CBackground* frame);
    ~CPerspective() override;

    // Binding to the frame: renderers, preferences, preset menu items.
    void bindToFrame(const RendererFactory& makeRenderer);

    // View commands (toolbars, context menu); answers whether handled.
    bool onCommand(int command, int code, void* extra);

    bool ready() const;
    QMenu* contextMenu() const { return m_menu.get(); }
    void showContextMenu(const QPoint& globalPos);

    // RenderHost
    bool mouseInputWaiting() override;
    void invalidateFromWorker() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void invalidate() override { update(); }

private:
    void buildContextMenu();
    void addPresetMenuItems(int index);
    void rebuildPresetMenuItems();

    CBackground* m_frame;
    std::unique_ptr<QMenu> m_menu;
    QMenu* m_quickMenu = nullptr;
    QMenu* m_deleteMenu = nullptr;
    QElapsedTimer m_renderClock;
};

}  // namespace v3d
