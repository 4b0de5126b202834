#pragma once

#include "QVPluginApi.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QAction;
class QByteArray;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace quarvia {

class CellGrid;
class HostCell;
class PluginManager;
struct LoadedPlugin;

// Everything between the host's user interface and the plug-ins: the menu
// entries and toolbar buttons they register, routing their commands (and
// the questions whether a command is enabled or checked) to the right
// window, and the plug-in windows that live in grid cells.
class PluginRouter : public QObject {
    Q_OBJECT
public:
    PluginRouter(PluginManager& plugins, CellGrid& grid, QMenuBar& menus, QToolBar& toolbar, QObject* parent);

    // Menus and the plug-in toolbar, as the plug-ins register them.
    void addPluginMenu(const char* pluginId, const char* path, int command, bool separator);
    void addPluginButton(const char* pluginId, int command, int updateCommand, const QVMonoBitmap* bitmap);
    // A menu entry by its path (levels separated by '\', '&' ignored).
    QAction* findMenuAction(const QString& path) const;
    QToolBar* pluginToolBar() const { return &m_toolbar; }

    // Routes a command to the plug-in: the plug-in window of the active
    // cell first, then the plug-in's global message window.
    bool routeCommand(LoadedPlugin& plugin, int command);
    bool commandState(LoadedPlugin& plugin, int command, QVCommandState& state);
    // A command sent straight to the plug-in window of a cell.
    bool routeCommandToCell(int cellIndex, int command);

    // Plug-in windows in cells.
    QVWindowHandle createPluginWindow(LoadedPlugin& plugin, HostCell& cell, const char* stateText);
    void destroyPluginWindow(QWidget* window);
    // Hands an image panel to the plug-in window of a cell (a drop).
    bool dropPanelOnWindow(HostCell& target, HostCell& source);
    // Offers a dropped file to the plug-in window of a cell: true when the
    // window took it (the host then leaves it alone).
    bool dropFileOnWindow(HostCell& target, const QString& path);
    // Peer bytes for a plug-in: to its window in that cell, else its first window.
    void deliverPeerData(const std::string& pluginId, int cellIndex, const QByteArray& bytes);
    // Removes every plug-in window and everything the plug-ins registered.
    void removeAll();

private:
    QMenu* menuForPath(const QStringList& levels);
    bool sendCommand(QVWindowHandle window, int command, int code, void* extra);
    void refreshActionStates();

    struct PluginAction {
        QAction* action;
        std::string pluginId;
        int command;
    };

    PluginManager& m_plugins;
    CellGrid& m_grid;
    QMenuBar& m_menus;
    QToolBar& m_toolbar;
    std::vector<PluginAction> m_pluginActions;
};

}  // namespace quarvia
