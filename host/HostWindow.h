#pragma once

#include "PluginManager.h"
#include "ProfileStore.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

class QAction;
class QDialog;
class QLabel;

namespace quarvia {

class CellGrid;
struct ShownSeries;
class CollaborationLink;
class LayoutStore;
class MessageList;
class PluginIdle;
class PluginRouter;
class PacsFrame;
class ReadingFrame;
class ReadingState;
class StudyDatabase;
class ViewerFrame;

struct HostOptions {
    QString pluginFolder;
    QString profilePath;   // empty: the user's config folder
    QString server;        // empty: the host settings' server
    QString outputFolder;  // new DICOM files; empty: the user's data folder
    QStringList openPaths; // DICOM files and folders to open at start
    double downloadSecondsPerImage = 0;  // > 0: simulate a download
    bool offscreen = false;
    bool docks = true;     // false: the grid alone fills the window
    int gridColumns = 2;
    int gridRows = 2;
    QByteArray collabKey;  // the collaboration session key; empty: none
};

// The host's main window and the object behind the exported host functions.
// It puts the parts together (plug-ins, profile, studies, the cell grid, the
// plug-in routing, layouts, the collaboration session) and does what needs
// several of them: opening files, drops between cells, messages to the user.
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
    StudyDatabase& database() { return *m_database; }
    CellGrid& grid() { return *m_grid; }
    ReadingState& reading() { return *m_reading; }
    PluginRouter& router() { return *m_router; }
    LayoutStore& layouts() { return *m_layouts; }
    const PluginIdle& idle() const { return *m_idle; }
    const HostOptions& options() const { return m_options; }

    // The current server: absolute URL prefix without a trailing slash;
    // empty when neither the command line nor the profile names one.
    QString currentServer() const;
    QString outputFolder() const;

    // Opens files and folders; answers (and logs) a message for each file skipped.
    // Opens files and folders; the first new series goes into targetCell
    // (a drop), else into the first cell when no cell shows a series.
    QStringList openPaths(const QStringList& paths, int targetCell = -1);
    // What this session opened that gave images or objects, first first.
    const QStringList& sessionPaths() const { return m_sessionPaths; }
    // A series shown in a cell: its panel, or the plug-in window there
    // takes it as a dropped panel.
    bool showSeries(int groupId, int cellIndex);
    // Offers dropped files to the plug-in window of a cell; answers those it
    // did not take.
    QStringList offerFilesToWindow(const QStringList& paths, int cellIndex);
    ViewerFrame& viewer() const { return *m_viewer; }
    ReadingFrame& readingFrame() const { return *m_readingFrame; }
    PacsFrame& pacs() const { return *m_pacs; }
    // A panel dragged onto a cell: a plug-in window there receives it, an
    // ordinary cell takes over the group.
    bool dropPanel(int fromCell, int toCell);

    // Collaboration (null when this host is not in a session).
    CollaborationLink* collaboration() const { return m_collaboration.get(); }
    // Listens on "[ADDR:]PORT" (loopback when no address is given) and/or
    // connects to "HOST:PORT", with the options' session key. Listening
    // beyond loopback needs a key.
    bool joinCollaboration(const QString& listenOn, const QString& connectTo, QString& error);
    // Closes this host's side of the session.
    void leaveCollaboration();
    bool passCollaborationControl();
    // The collaboration indicator's text: whether there is a session and who drives.
    QString collaborationStatus() const;
    // The next collaboration dialog is answered with these fields instead
    // of the user (the test script's way through it).
    // The next dialog (a collaboration dialog, or any other shown, a
    // plug-in's too) takes these answers: fields by object name ("file"
    // for a file dialog), then it is accepted ("button=cancel": rejected).
    void answerNextDialog(const QMap<QString, QString>& fields) { m_dialogAnswers = fields; }

    // Message boxes: shown, or logged and answered OK when offscreen.
    int messageBox(const QString& text, const QString& caption, uint32_t flags);
    const QStringList& messageLog() const { return m_messageLog; }
    // The message list the user reads in the window.
    MessageList& messages() const { return *m_messages; }
    // Something the user should know that needs no answer: the status bar,
    // the message list and the error stream.
    void notice(const QString& text);
    // The status line and the message list, without opening the list: what
    // went well (a capture's place), not what needs the user.
    void news(const QString& text);
    // The status line alone (progress that changes by the second).
    void statusLine(const QString& text);

    // Images were added to or removed from the database: panels repaint,
    // the study browser follows.
    void databaseChanged();

signals:
    // Files and folders were opened (some images may have been skipped).
    void pathsOpened(const QStringList& paths);
    void imagesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A window made small gives up dock width before its cells become slivers.
    void resizeEvent(QResizeEvent* event) override;

private:
    void openFromMenu(bool folder);
    // Host (listen) or Join from the Collaboration menu; a failure is told in a message box.
    void startSessionFromMenu(bool host);
    void updateCollaborationIndicator();
    bool inPluginWindow(QWidget* widget) const;
    // What this host's 3D windows show, for a peer joining its session.
    std::vector<ShownSeries> shownSeries() const;
    // A joiner hears what the session's host shows and whether it has it.
    void tellWhatTheSessionShows(const QByteArray& payload);
    // A plug-in window opened after joining missed the state sent at
    // joining: the hub is asked for it again.
    void catchUpNewWindows();
    void answerShownDialog(QDialog& dialog);
    // Gives the keyboard to the cell holding widget (its plug-in window's
    // view, else its panel); false when widget is in no cell.
    bool focusCellOf(QWidget* widget);

    HostOptions m_options;
    PluginManager m_plugins;
    std::unique_ptr<ProfileStore> m_profile;
    std::unique_ptr<StudyDatabase> m_database;
    std::unique_ptr<CollaborationLink> m_collaboration;
    ReadingState* m_reading = nullptr;  // child of this window
    CellGrid* m_grid = nullptr;         // the central widget
    PluginRouter* m_router = nullptr;   // child of this window
    std::unique_ptr<LayoutStore> m_layouts;
    PluginIdle* m_idle = nullptr;       // child of this window
    MessageList* m_messages = nullptr;  // dock of this window
    ViewerFrame* m_viewer = nullptr;    // child of this window
    ReadingFrame* m_readingFrame = nullptr;  // child of this window
    PacsFrame* m_pacs = nullptr;             // child of this window
    QStringList m_messageLog;
    std::vector<QPointer<QWidget>> m_caughtUpWindows;  // plug-in windows that had the state
    bool m_catchUpQueued = false;
    QMap<QString, QString> m_dialogAnswers;
    QStringList m_sessionPaths;
    QAction* m_hostAction = nullptr;
    QAction* m_joinAction = nullptr;
    QAction* m_leaveAction = nullptr;
    QAction* m_passAction = nullptr;
    QLabel* m_collabIndicator = nullptr;  // in the status bar
    static constexpr int kIgnoredInputNoticeMs = 5000;
    QElapsedTimer m_ignoredInputTold;
};

}  // namespace quarvia
