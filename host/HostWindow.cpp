#include "HostWindow.h"

#include "CellGrid.h"
#include "CollabSessionDialog.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "LayoutStore.h"
#include "MessageList.h"
#include "PluginIdle.h"
#include "PluginRouter.h"
#include "ViewerFrame.h"
#include "PacsFrame.h"
#include "ReadingFrame.h"
#include "reading/ReadingState.h"
#include "api/HostApiSupport.h"
#include "collab/CollaborationLink.h"
#include "collab/SessionGreeting.h"
#include "collab/SessionKey.h"
#include "dicom/StreamScan.h"
#include "dicom/StudyDatabase.h"

#include "QVHostApi.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QDockWidget>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QResizeEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

#include <cstdio>

namespace quarvia {

namespace {
HostWindow* g_instance = nullptr;
// The module installer fetches from the current server at start-up; without
// one configured it must not run at all (no request, no message, no folder).
constexpr char kModuleInstallerId[] = "Glossan Spellchecker Module";

// "[ADDR:]PORT": an IP address (IPv6 in brackets) or "localhost"; the
// loopback address when none is given.
bool parseListenAddress(const QString& text, QHostAddress& address, quint16& port) {
    QString host = "127.0.0.1", portText = text;
    const int colon = text.lastIndexOf(':');
    if (colon >= 0) {
        host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
        else if (host.contains(':')) return false;  // IPv6 needs its brackets
    }
    bool ok = false;
    const uint number = portText.toUInt(&ok);
    if (!ok || number > 65535) return false;
    port = static_cast<quint16>(number);
    if (host == "localhost") host = "127.0.0.1";
    return address.setAddress(host);
}
}  // namespace

HostWindow::HostWindow(const HostOptions& options) : m_options(options) {
    g_instance = this;
    setWindowTitle("Quarvia");
    m_profile = std::make_unique<ProfileStore>(options.profilePath);
    m_database = std::make_unique<StudyDatabase>();
    if (options.downloadSecondsPerImage > 0) m_database->download().enable(options.downloadSecondsPerImage);
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open Files...", this, [this] { openFromMenu(false); });
    file->addAction("Open &Folder...", this, [this] { openFromMenu(true); });
    QMenu* collaboration = menuBar()->addMenu("&Collaboration");
    m_hostAction = collaboration->addAction("&Host a Session...", this, [this] { startSessionFromMenu(true); });
    m_joinAction = collaboration->addAction("&Join a Session...", this, [this] { startSessionFromMenu(false); });
    m_leaveAction = collaboration->addAction("&Leave Session", this, [this] {
        leaveCollaboration();
        notice("left the collaboration session");
        updateCollaborationIndicator();
    });
    collaboration->addSeparator();
    m_passAction = collaboration->addAction("&Pass Control", this, [this] { passCollaborationControl(); });
    connect(collaboration, &QMenu::aboutToShow, this, &HostWindow::updateCollaborationIndicator);
    QAction* exitAction = file->addAction("E&xit", this, &QWidget::close);
    QToolBar* pluginBar = addToolBar("Plug-ins");
    pluginBar->setObjectName("pluginToolbar");

    m_messages = new MessageList(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_messages);
    m_reading = new ReadingState(*m_database, this);
    m_grid = new CellGrid(options.gridRows, options.gridColumns, *m_database, *m_reading, this);
    connect(m_grid, &CellGrid::panelDropped, this, &HostWindow::dropPanel);
    setCentralWidget(m_grid);
    m_router = new PluginRouter(m_plugins, *m_grid, *menuBar(), *pluginBar, this);
    m_layouts = std::make_unique<LayoutStore>(*m_grid, *m_database, *m_reading, m_plugins, *m_router);
    m_idle = new PluginIdle(m_plugins, this);
    m_viewer = new ViewerFrame(*this, *file, exitAction);
    m_readingFrame = new ReadingFrame(*this);
    m_pacs = new PacsFrame(*this, *file, exitAction);
    // Cells gaining plug-in windows, and clicks in those windows: seen at
    // the application, as they may come from any cell.
    qApp->installEventFilter(this);
    m_collabIndicator = new QLabel(this);
    statusBar()->addPermanentWidget(m_collabIndicator);
    auto* indicatorTimer = new QTimer(this);
    connect(indicatorTimer, &QTimer::timeout, this, &HostWindow::updateCollaborationIndicator);
    indicatorTimer->start(250);
    updateCollaborationIndicator();
    resize(1024, 768);
    if (!options.openPaths.isEmpty()) openPaths(options.openPaths);
}

HostWindow::~HostWindow() {
    m_pacs->shutdown();
    unloadPlugins();
    // Panels read the database while they live.
    m_grid->clearPanels();
    if (g_instance == this) g_instance = nullptr;
}

HostWindow* HostWindow::instance() { return g_instance; }

QString HostWindow::currentServer() const {
    // The command line wins over the host's own settings in the profile.
    QString server = m_options.server;
    if (server.isEmpty()) server = m_profile->readString("Quarvia", 0, "Settings", "Server", QString()).trimmed();
    while (server.endsWith('/')) server.chop(1);
    return server;
}

QString HostWindow::outputFolder() const {
    if (!m_options.outputFolder.isEmpty()) return m_options.outputFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/quarvia/output";
}

void HostWindow::loadPlugins() {
    for (const QString& problem : m_plugins.loadFolder(m_options.pluginFolder)) std::fprintf(stderr, "%s\n", qPrintable(problem));
    const bool haveServer = !currentServer().isEmpty();
    m_plugins.initializeAll([haveServer](const LoadedPlugin& plugin) { return !haveServer && plugin.id == kModuleInstallerId; });
}

void HostWindow::unloadPlugins() {
    m_router->removeAll();
    m_plugins.unloadAll();
}

QStringList HostWindow::openPaths(const QStringList& paths, int targetCell) {
    const int imagesBefore = m_database->imageTotal();
    const std::vector<const SeriesGroup*> groupsBefore = m_database->groups();
    QStringList problems, opened;
    for (const QString& path : paths) {
        const int images = m_database->imageTotal();
        const size_t objects = m_database->objectTotal();
        problems += m_database->addPaths({path});
        // Only what gave something is worth opening again from the recent list.
        if (m_database->imageTotal() > images || m_database->objectTotal() > objects) opened << path;
    }
    for (const QString& problem : problems) {
        std::fprintf(stderr, "quarvia: skipped %s\n", qPrintable(problem));
        m_messages->add("Skipped " + problem);
    }
    QString summary = QString("Opened %1 images").arg(m_database->imageTotal() - imagesBefore);
    if (problems.size() == 1)
        summary += ": skipped " + problems.front();
    else if (!problems.isEmpty())
        summary += QString("; %1 skipped (see Messages)").arg(problems.size());
    statusBar()->showMessage(summary);
    for (const QString& path : opened) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!m_sessionPaths.contains(absolute)) m_sessionPaths << absolute;
    }
    if (!opened.isEmpty()) emit pathsOpened(opened);
    // The first new group goes where it was dropped, else into the first
    // cell when nothing is shown yet, as a viewer shows a new study.
    const SeriesGroup* first = nullptr;
    for (const SeriesGroup* group : m_database->groups())
        if (std::find(groupsBefore.begin(), groupsBefore.end(), group) == groupsBefore.end()) {
            first = group;
            break;
        }
    if (first && targetCell >= 0 && m_grid->cell(targetCell))
        m_grid->putGroupInCell(first->id, targetCell);
    else if (first && !m_grid->showsAnySeries())
        m_grid->putGroupInCell(first->id, 0);
    databaseChanged();
    return problems;
}

void HostWindow::databaseChanged() {
    m_reading->imagesChanged();
    m_grid->repaintPanels();
    emit imagesChanged();
}

void HostWindow::openFromMenu(bool folder) {
    QStringList paths;
    if (folder) {
        const QString dir = QFileDialog::getExistingDirectory(this, "Open DICOM Folder");
        if (!dir.isEmpty()) paths << dir;
    } else {
        paths = QFileDialog::getOpenFileNames(this, "Open DICOM Files");
    }
    if (paths.isEmpty()) return;
    openPaths(paths);  // what was skipped is in the message list
}

bool HostWindow::showSeries(int groupId, int cellIndex) {
    HostCell* cell = m_grid->cell(cellIndex);
    if (!cell || !m_grid->putGroupInCell(groupId, cellIndex)) return false;
    m_grid->setActiveCell(cellIndex);
    // The cell's own panel carries the series to its plug-in window, as a drop does.
    if (cell->pluginWindow()) m_router->dropPanelOnWindow(*cell, *cell);
    return true;
}

QStringList HostWindow::offerFilesToWindow(const QStringList& paths, int cellIndex) {
    HostCell* cell = m_grid->cell(cellIndex);
    if (!cell || !cell->pluginWindow()) return paths;
    QStringList left;
    for (const QString& path : paths) {
        // A file the element walk refuses never reaches the plug-in's reader;
        // opened as usual it is reported with the reason.
        StreamReport report;
        const bool sound = !scanDicomFile(path, report) || report.state == StreamState::Sound;
        if (!sound || !QFileInfo(path).isFile() || !m_router->dropFileOnWindow(*cell, path)) left << path;
    }
    return left;
}

bool HostWindow::dropPanel(int fromCell, int toCell) {
    HostCell* from = m_grid->cell(fromCell);
    HostCell* to = m_grid->cell(toCell);
    if (!from || !to || from == to || !from->panel()->groupId()) return false;
    m_grid->setActiveCell(toCell);
    if (m_router->dropPanelOnWindow(*to, *from)) return true;
    return m_grid->putGroupInCell(from->panel()->groupId(), toCell);
}

bool HostWindow::joinCollaboration(const QString& listenOn, const QString& connectTo, QString& error) {
    CollabSettings settings;
    settings.key = m_options.collabKey;
    auto link = std::make_unique<CollaborationLink>(
        [this](const CollabFrame& frame) {
            if (frame.pluginId == kGreetingStream)
                tellWhatTheSessionShows(frame.payload);
            else
                m_router->deliverPeerData(frame.pluginId, frame.cellIndex, frame.payload);
        },
        [this](const QString& text) { notice(text); }, settings);
    link->setGreeting([this] {
        const std::vector<ShownSeries> shown = shownSeries();
        return shown.empty() ? QByteArray() : QByteArray::fromStdString(encodeGreeting(shown));
    });
    if (!listenOn.isEmpty()) {
        QHostAddress address;
        quint16 port = 0;
        if (!parseListenAddress(listenOn, address, port))
            return (error = "expected [ADDR:]PORT with an IP address, got " + listenOn), false;
        if (!address.isLoopback() && settings.key.isEmpty())
            return (error = "listening on " + address.toString() +
                            " lets other machines join: a session key is required (--collab-key-file FILE or " +
                            SessionKey::kEnvironmentVariable + ")"),
                   false;
        if (!link->listen(address, port, error)) return false;
    }
    if (!connectTo.isEmpty()) {
        bool ok = false;
        const uint port = connectTo.section(':', -1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535) return (error = "expected HOST:PORT, got " + connectTo), false;
        QString host = connectTo.section(':', 0, -2);
        if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
        if (!link->connectTo(host, static_cast<quint16>(port), error)) return false;
    }
    m_collaboration = std::move(link);
    // Windows open now had the state sent at joining.
    m_caughtUpWindows.clear();
    for (int i = 0; i < m_grid->cellCount(); ++i)
        if (QWidget* window = m_grid->cell(i)->pluginWindow()) m_caughtUpWindows.emplace_back(window);
    return true;
}

void HostWindow::leaveCollaboration() {
    if (!m_collaboration) return;
    m_collaboration->leave();
    m_collaboration.reset();
}

bool HostWindow::eventFilter(QObject* watched, QEvent* event) {
    // The keys go where the pointer is: entering a cell gives it the focus,
    // and so does coming back to the window after a dialog.
    if (event->type() == QEvent::Enter && watched->isWidgetType() && !QApplication::activeModalWidget() &&
        !QApplication::activePopupWidget() && isActiveWindow())
        focusCellOf(static_cast<QWidget*>(watched));
    if (watched == this && event->type() == QEvent::WindowActivate) {
        QWidget* under = QApplication::widgetAt(QCursor::pos());
        if (!under || !focusCellOf(under)) focusCellOf(m_grid->activeCell());
    }
    // Scripted answers go to the next dialog shown, a plug-in's too.
    if (event->type() == QEvent::Show && !m_dialogAnswers.isEmpty())
        if (auto* dialog = qobject_cast<QDialog*>(watched)) answerShownDialog(*dialog);
    // A follower's clicks in a plug-in window are ignored by the plug-in:
    // the user is told why (at most every few seconds), the click goes on.
    if (event->type() == QEvent::MouseButtonPress && m_collaboration && !m_collaboration->hasControl() &&
        watched->isWidgetType() && inPluginWindow(static_cast<QWidget*>(watched)) &&
        (!m_ignoredInputTold.isValid() || m_ignoredInputTold.elapsed() > kIgnoredInputNoticeMs)) {
        m_ignoredInputTold.start();
        notice("input ignored: " + m_collaboration->driver() +
               " drives the collaboration session (the driver can pass the control: Collaboration > Pass Control)");
    }
    // Plug-in windows are children of their cells; they are recorded after
    // their creation returns, so the look comes once the event is handled.
    if (event->type() == QEvent::ChildAdded && qobject_cast<HostCell*>(watched) && m_collaboration &&
        !m_collaboration->isHub() && !m_catchUpQueued) {
        m_catchUpQueued = true;
        QTimer::singleShot(0, this, [this] { catchUpNewWindows(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void HostWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Side docks take at most this share of the window's width together.
    constexpr double kMaxDockShare = 0.36;
    QList<QDockWidget*> side;
    int total = 0;
    for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const Qt::DockWidgetArea area = dockWidgetArea(dock);
        if (dock->isVisible() && !dock->isFloating() && (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)) {
            side << dock;
            total += dock->width();
        }
    }
    const int allowed = int(width() * kMaxDockShare);
    if (side.isEmpty() || total <= allowed) return;
    QList<int> widths;
    for (QDockWidget* dock : side) widths << std::max(dock->minimumWidth(), dock->width() * allowed / total);
    resizeDocks(side, widths, Qt::Horizontal);
}

bool HostWindow::focusCellOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        auto* cell = qobject_cast<HostCell*>(w);
        if (!cell) continue;
        QWidget* target = cell->pluginWindow() ? cell->pluginWindow() : static_cast<QWidget*>(cell->panel());
        // The plug-in window hands the focus on to its view.
        QWidget* focus = target->focusProxy() ? target->focusProxy() : target;
        for (QWidget* child : target->findChildren<QWidget*>())
            if ((child->focusPolicy() & Qt::StrongFocus) == Qt::StrongFocus) {
                focus = child;
                break;
            }
        if (!focus->hasFocus()) focus->setFocus(Qt::MouseFocusReason);
        return true;
    }
    return false;
}

void HostWindow::answerShownDialog(QDialog& dialog) {
    const QMap<QString, QString> answers = m_dialogAnswers;
    m_dialogAnswers.clear();
    QPointer<QDialog> shown(&dialog);
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
        if (answers.contains("file")) files->selectFile(answers.value("file"));
    } else {
        for (auto it = answers.begin(); it != answers.end(); ++it) {
            if (auto* line = dialog.findChild<QLineEdit*>(it.key())) line->setText(it.value());
            if (auto* box = dialog.findChild<QComboBox*>(it.key())) box->setCurrentText(it.value());
        }
    }
    // Accepted once its show is over, as a user's click would come.
    QTimer::singleShot(0, this, [shown, answers] {
        if (!shown) return;
        if (answers.value("button") == "cancel")
            shown->reject();
        else
            shown->accept();
    });
}

void HostWindow::catchUpNewWindows() {
    m_catchUpQueued = false;
    if (!m_collaboration || m_collaboration->isHub()) return;
    bool fresh = false;
    m_caughtUpWindows.erase(std::remove(m_caughtUpWindows.begin(), m_caughtUpWindows.end(), nullptr),
                            m_caughtUpWindows.end());
    for (int i = 0; i < m_grid->cellCount(); ++i) {
        QWidget* window = m_grid->cell(i)->pluginWindow();
        if (!window || std::find(m_caughtUpWindows.begin(), m_caughtUpWindows.end(), window) != m_caughtUpWindows.end())
            continue;
        m_caughtUpWindows.emplace_back(window);
        fresh = true;
    }
    if (fresh) m_collaboration->requestState();
}

std::vector<ShownSeries> HostWindow::shownSeries() const {
    std::vector<ShownSeries> shown;
    for (const int id : liveVolumeGroups()) {
        const SeriesGroup* group = m_database->groupById(id);
        const DicomImage* first = group && !group->imageIds.empty() ? m_database->image(group->imageIds.front()) : nullptr;
        if (!first) continue;
        const ImageTexts& t = first->texts();
        shown.push_back({group->seriesUid, t.patientName.toStdString(), t.studyDescription.toStdString(),
                         t.studyDate.toStdString(), std::to_string(first->seriesNumber()),
                         t.seriesDescription.toStdString(), t.modality.toStdString()});
    }
    return shown;
}

void HostWindow::tellWhatTheSessionShows(const QByteArray& payload) {
    std::vector<ShownSeries> shown;
    if (!decodeGreeting(std::string_view(payload.constData(), size_t(payload.size())), shown)) return;
    for (const ShownSeries& s : shown) {
        bool here = false;
        for (const SeriesGroup* group : m_database->groups()) here = here || group->seriesUid == s.seriesUid;
        const QString date = s.date.size() == 8 ? QString::fromStdString(s.date.substr(0, 4) + "-" + s.date.substr(4, 2) +
                                                                         "-" + s.date.substr(6, 2))
                                                : QString::fromStdString(s.date);
        const QString what = QString("%1, %2 %3, series %4 %5 (%6)")
                                 .arg(QString::fromStdString(s.patient), QString::fromStdString(s.study), date,
                                      QString::fromStdString(s.number), QString::fromStdString(s.description),
                                      QString::fromStdString(s.modality));
        notice("the session's host shows " + what +
               (here ? QString(": it is among this host's studies")
                     : QString(": this host does not have it; open that series here to follow in 3D")));
    }
}

bool HostWindow::inPluginWindow(QWidget* widget) const {
    for (int i = 0; i < m_grid->cellCount(); ++i) {
        QWidget* window = m_grid->cell(i)->pluginWindow();
        if (window && (window == widget || window->isAncestorOf(widget))) return true;
    }
    return false;
}

bool HostWindow::passCollaborationControl() {
    if (!m_collaboration) return false;
    const bool passed = m_collaboration->passControl();
    if (!passed) notice("the control was not passed: " + QString(m_collaboration->hasControl()
                                                                     ? "no other host is in the session"
                                                                     : "this host does not hold it"));
    updateCollaborationIndicator();
    return passed;
}

QString HostWindow::collaborationStatus() const {
    if (!m_collaboration) return "Not in a collaboration session";
    const int peers = m_collaboration->peerCount();
    const QString where = m_collaboration->isHub()
                              ? QString("Hosting a session (%1 peer%2)").arg(peers).arg(peers == 1 ? "" : "s")
                              : QString("In a session");
    const QString driver = m_collaboration->driver();
    return where + ": " + (driver.isEmpty() ? QString("this host drives") : driver + " drives");
}

void HostWindow::updateCollaborationIndicator() {
    // A joined session whose hub has gone is over: Host and Join come back.
    if (m_collaboration && !m_collaboration->isHub() && m_collaboration->peerCount() == 0) leaveCollaboration();
    const bool inSession = m_collaboration != nullptr;
    m_hostAction->setEnabled(!inSession);
    m_joinAction->setEnabled(!inSession);
    m_leaveAction->setEnabled(inSession);
    // With a session it stays enabled: passing to nobody says why it did not.
    m_passAction->setEnabled(inSession);
    m_collabIndicator->setText(collaborationStatus());
}

void HostWindow::startSessionFromMenu(bool host) {
    CollabSessionDialog dialog(host ? CollabSessionDialog::Mode::Host : CollabSessionDialog::Mode::Join, this);
    if (!m_dialogAnswers.isEmpty()) {
        dialog.answer(m_dialogAnswers);
        m_dialogAnswers.clear();
    } else if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    QString error;
    QByteArray key;
    if (!SessionKey::load(dialog.keyFile(), key, error)) {
        messageBox(error, "Collaboration", QV_MB_ICONHAND);
        return;
    }
    m_options.collabKey = key;
    if (!joinCollaboration(host ? dialog.endpoint() : QString(), host ? QString() : dialog.endpoint(), error))
        messageBox(error, "Collaboration", QV_MB_ICONHAND);
    updateCollaborationIndicator();
}

void HostWindow::notice(const QString& text) {
    std::fprintf(stderr, "quarvia: %s\n", qPrintable(text));
    statusBar()->showMessage(text);
    m_messages->add(text);
}

void HostWindow::statusLine(const QString& text) { statusBar()->showMessage(text); }

void HostWindow::news(const QString& text) {
    std::fprintf(stderr, "quarvia: %s\n", qPrintable(text));
    statusBar()->showMessage(text);
    m_messages->add(text, false);
}

int HostWindow::messageBox(const QString& text, const QString& caption, uint32_t flags) {
    m_messageLog << caption + ": " + text;
    m_messages->add(caption + ": " + QString(text).replace('\n', ' '));
    std::fprintf(stderr, "[message box] %s: %s\n", qPrintable(caption), qPrintable(text));
    if (m_options.offscreen) return QV_IDOK;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if ((flags & 0xF) == QV_MB_OKCANCEL) buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if ((flags & 0xF) == QV_MB_YESNO) buttons = QMessageBox::Yes | QMessageBox::No;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
    case QV_MB_ICONHAND: icon = QMessageBox::Critical; break;
    case QV_MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case QV_MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
    case QV_MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(icon, caption, text, buttons, this);
    if (flags & QV_MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    switch (box.exec()) {
    case QMessageBox::Cancel: return QV_IDCANCEL;
    case QMessageBox::Yes: return QV_IDYES;
    case QMessageBox::No: return QV_IDNO;
    default: return QV_IDOK;
    }
}

}  // namespace quarvia
