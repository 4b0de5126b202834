#pragma once

#include <QObject>
#include <QStringList>

class QAction;
class QMenu;

namespace quarvia {

class HostWindow;
class StudyBrowser;

// What makes the host a viewer around its grid: the study browser, the
// File menu's recent items and Close Study, the Layout menu, and what is
// dropped onto the cells (series from the browser, files from the desktop).
class ViewerFrame : public QObject {
    Q_OBJECT
public:
    // Adds its entries to `fileMenu` before `before`, and its own menus.
    ViewerFrame(HostWindow& host, QMenu& fileMenu, QAction* before);

    StudyBrowser& browser() const { return *m_browser; }
    QStringList recentPaths() const;
    // Removes the study the active cell shows (else the one selected in the
    // browser); false when there is none.
    bool closeStudy();
    // 1x1, 1x2 or 2x2.
    bool setLayout(const QString& name);

private:
    void opened(const QStringList& paths);
    void fillRecentMenu();
    // File > Save Layout / Open Layout: a file dialog, then the layout store.
    void layoutFromMenu(bool save);

    HostWindow& m_host;
    StudyBrowser* m_browser;  // dock of the host window
    QMenu* m_recentMenu;      // child of the File menu
};

}  // namespace quarvia
