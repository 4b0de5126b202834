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
class ImagePanel;
class StudyDatabase;
class CollaborationLink;
struct PanelView;

struct HostOptions {
    QString pluginFolder;
    QString profilePath;   // empty: the user's config folder
    QString server;        // empty: the host settings' server
    QString outputFolder;  // new DICOM files; empty: the user's data folder
    QStringList openPaths; // DICOM files and folders to open at start
    double downloadSecondsPerImage = 0;  // > 0: simulate a download
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

    // Studies and panels
    StudyDatabase& database() { return *m_database; }
    // Opens files and folders; answers (and logs) a message for each file skipped.
    QStringList openPaths(const QStringList& paths);
    // Shows a group in a cell's panel; false for an unknown group or cell.
    bool putGroupInCell(int groupId, int cellIndex, int viewCount = 1);
    // A panel dragged onto a cell: a plug-in window there receives it
    // (WM_APP+3), an ordinary cell takes over the group.
    bool dropPanel(int fromCell, int toCell);
    // Validated handles: null for anything this host did not hand out.
    ImagePanel* panelOf(QVPanelHandle handle) const;
    PanelView* viewOf(QVViewHandle handle, ImagePanel** panel = nullptr) const;
    HostCell* cellOfPlace(QVPlaceHandle handle) const;
    static QVPanelHandle handleOf(ImagePanel* panel) { return reinterpret_cast<QVPanelHandle>(panel); }
    static QVViewHandle handleOf(PanelView* view) { return reinterpret_cast<QVViewHandle>(view); }
    static QVPlaceHandle placeOf(const HostCell& cell);
    QString outputFolder() const;

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
    // A command sent straight to the plug-in window of a cell.
    bool routeCommandToCell(int cellIndex, int command);

    // Layouts: the grid's series and each plug-in window's saved state.
    bool saveLayout(const QString& file, QString& error);
    bool loadLayout(const QString& file, QString& error);

    // Collaboration (null when this host is not in a session).
    CollaborationLink* collaboration() const { return m_collaboration.get(); }
    // Listens on a loopback port and/or connects to "host:port".
    bool joinCollaboration(const QString& listenPort, const QString& connectTo, QString& error);
    bool passCollaborationControl();
    // Peer bytes for a plug-in: to its window in that cell, else its first window.
    void deliverPeerData(const std::string& pluginId, int cellIndex, const QByteArray& bytes);

    // Message boxes: shown, or logged and answered OK when offscreen.
    int messageBox(const QString& text, const QString& caption, uint32_t flags);
    const QStringList& messageLog() const { return m_messageLog; }
    // Something the user should know that needs no answer: the status bar
    // and the error stream.
    void notice(const QString& text);

private:
    QMenu* menuForPath(const QStringList& levels);
    bool sendCommand(QVWindowHandle window, int command, int code, void* extra);
    void refreshActionStates();
    void openFromMenu(bool folder);

    struct PluginAction {
        QAction* action;
        std::string pluginId;
        int command;
    };

    HostOptions m_options;
    PluginManager m_plugins;
    std::unique_ptr<ProfileStore> m_profile;
    std::unique_ptr<StudyDatabase> m_database;
    std::unique_ptr<CollaborationLink> m_collaboration;
    std::vector<HostCell*> m_cells;
    int m_activeCell = 0;
    QToolBar* m_pluginBar = nullptr;
    std::vector<PluginAction> m_pluginActions;
    QStringList m_messageLog;
};

}  // namespace quarvia
