#pragma once

#include "PluginManager.h"
#include "ProfileStore.h"

#include "QVPluginApi.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QToolBar;

namespace quarvia {

class HostCell;

struct HostOptions {
    QString pluginFolder;
    QString profilePath;   // empty: the user's config folder
    QString server;        // empty: the host settings' server
    bool offscreen = false;
    int gridColumns = 2;
    int gridRows = 2;
};

// The host's main window: menu bar, plug-in toolbar and a grid of cells.
// Also the object behind the exported host functions.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(const HostOptions& options);
    ~HostWindow() override;

    static HostWindow* instance();

    // Loads and initialises the plug-ins of the configured folder.
    void loadPlugins();
    // Destroys plug-in windows, deletes and unloads the plug-ins.
    void unloadPlugins();
    PluginManager& plugins() { return m_plugins; }
    ProfileStore& profile() { return *m_profile; }
    const HostOptions& options() const { return m_options; }
    // The current server: absolute URL prefix without a trailing slash.
    QString currentServer() const;

    // Grid
    int cellCount() const { return static_cast<int>(m_cells.size()); }
    HostCell* cell(int index) const;
    HostCell* activeCell() const;
    void setActiveCell(int index);
    HostCell* cellOfWindow(QWidget* window) const;

    // Plug-in windows
    QVWindowHandle createPluginWindow(LoadedPlugin& plugin, HostCell& cell, const char* stateText);
    void destroyPluginWindow(QWidget* window);

    // Menus and the plug-in toolbar, as the plug-ins register them.
    void addPluginMenu(const char* pluginId, const char* path, int command, bool separator);
    void addPluginButton(const char* pluginId, int command, int updateCommand, const QVMonoBitmap* bitmap);
    QAction* findMenuAction(const QString& path) const;
    QToolBar* pluginToolBar() const { return m_pluginBar; }

    // Routes a command to the plug-in: the plug-in window of the active
    // cell first, then the plug-in's global message window.
    bool routeCommand(LoadedPlugin& plugin, int command);
    bool commandState(LoadedPlugin& plugin, int command, QVCommandState& state);

    // Message boxes: shown, or logged and answered OK when offscreen.
    int messageBox(const QString& text, const QString& caption, uint32_t flags);
    const QStringList& messageLog() const { return m_messageLog; }

private:
    QMenu* menuForPath(const QStringList& levels);
    bool sendCommand(QVWindowHandle window, int command, int code, void* extra);
    void refreshActionStates();

    struct PluginAction {
        QAction* action;
        std::string pluginId;
        int command;
    };

    HostOptions m_options;
    PluginManager m_plugins;
    std::unique_ptr<ProfileStore> m_profile;
    std::vector<HostCell*> m_cells;
    int m_activeCell = 0;
    QToolBar* m_pluginBar = nullptr;
    std::vector<PluginAction> m_pluginActions;
    QStringList m_messageLog;
};

}  // namespace quarvia
