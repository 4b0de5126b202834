#include "HostWindow.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "PluginIdle.h"
#include "collab/CollaborationLink.h"
#include "dicom/StudyDatabase.h"

#include "QVMessage.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QGridLayout>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

#include <cstdio>

namespace quarvia {

namespace {
HostWindow* g_instance = nullptr;

QString stripAmpersand(QString text) { return text.remove('&'); }

QIcon iconFromMonoBitmap(const QVMonoBitmap& bitmap) {
    QImage image(bitmap.width, bitmap.height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x)
            if (bitmap.bits[y * bitmap.stride + x / 8] & (0x80 >> (x % 8))) image.setPixel(x, y, qRgb(0, 0, 0));
    return QIcon(QPixmap::fromImage(image));
}
}  // namespace

HostWindow::HostWindow(const HostOptions& options) : m_options(options) {
    g_instance = this;
    setWindowTitle("Quarvia");
    m_profile = std::make_unique<ProfileStore>(options.profilePath);
    m_database = std::make_unique<StudyDatabase>();
    new PluginIdle(m_plugins, this);
    if (options.downloadSecondsPerImage > 0) m_database->download().enable(options.downloadSecondsPerImage);
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open Files...", this, [this] { openFromMenu(false); });
    file->addAction("Open &Folder...", this, [this] { openFromMenu(true); });
    QMenu* collaboration = menuBar()->addMenu("&Collaboration");
    collaboration->addAction("&Pass Control", this, [this] { passCollaborationControl(); });
    file->addAction("E&xit", this, &QWidget::close);
    m_pluginBar = addToolBar("Plug-ins");
    m_pluginBar->setObjectName("pluginToolbar");

    auto* grid = new QWidget(this);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (int r = 0; r < options.gridRows; ++r)
        for (int c = 0; c < options.gridColumns; ++c) {
            auto* cell = new HostCell(static_cast<int>(m_cells.size()), *m_database, grid);
            connect(cell, &HostCell::activated, this, &HostWindow::setActiveCell);
            connect(cell, &HostCell::panelDropped, this, &HostWindow::dropPanel);
            layout->addWidget(cell, r, c);
            m_cells.push_back(cell);
        }
    setCentralWidget(grid);
    setActiveCell(0);
    resize(1024, 768);
    if (!options.openPaths.isEmpty()) openPaths(options.openPaths);
}

HostWindow::~HostWindow() {
    unloadPlugins();
    // Panels read the database while they live.
    for (HostCell* c : m_cells) c->panel()->clear();
    if (g_instance == this) g_instance = nullptr;
}

HostWindow* HostWindow::instance() { return g_instance; }

QString HostWindow::currentServer() const {
    // The command line wins over the host's own settings in the profile.
    QString server = m_options.server;
    if (server.isEmpty()) server = m_profile->readString("Quarvia", 0, "Settings", "Server", "http://127.0.0.1");
    while (server.endsWith('/')) server.chop(1);
    return server;
}

void HostWindow::loadPlugins() {
    for (const QString& problem : m_plugins.loadFolder(m_options.pluginFolder)) std::fprintf(stderr, "%s\n", qPrintable(problem));
    m_plugins.initializeAll();
}

void HostWindow::unloadPlugins() {
    // Plug-in widgets run plug-in code: they go before the libraries do.
    for (HostCell* cell : m_cells)
        if (QWidget* window = cell->pluginWindow()) {
            cell->setPluginWindow(nullptr);
            delete window;
        }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (PluginAction& entry : m_pluginActions) delete entry.action;
    m_pluginActions.clear();
    m_plugins.unloadAll();
}

HostCell* HostWindow::cell(int index) const {
    return index >= 0 && index < cellCount() ? m_cells[static_cast<size_t>(index)] : nullptr;
}

HostCell* HostWindow::activeCell() const { return cell(m_activeCell); }

void HostWindow::setActiveCell(int index) {
    if (!cell(index)) return;
    m_activeCell = index;
    for (HostCell* c : m_cells) c->setActive(c->index() == index);
}

HostCell* HostWindow::cellOfWindow(QWidget* window) const {
    if (!window) return nullptr;
    // A plug-in may name its window or any widget inside it (its view). Only
    // pointers are compared: a stale handle is never dereferenced.
    for (HostCell* c : m_cells)
        if (c->pluginWindow() == window) return c;
    for (HostCell* c : m_cells)
        if (c->pluginWindow() && c->pluginWindow()->findChildren<QWidget*>().contains(window)) return c;
    return nullptr;
}

QVWindowHandle HostWindow::createPluginWindow(LoadedPlugin& plugin, HostCell& cell, const char* stateText) {
    if (QWidget* old = cell.pluginWindow()) destroyPluginWindow(old);
    QVWindowHandle cellHandle = qv::handleOf(&cell);
    QVWindowHandle window = stateText ? plugin.createPluginWindowState(stateText, cellHandle)
                                      : plugin.createPluginWindow(nullptr, cellHandle);
    if (!window) return nullptr;
    cell.setPluginWindow(qv::widgetOf(window), plugin.id);
    // A new window takes over the series the cell was showing.
    if (!stateText && cell.panel()->groupId())
        qv::sendMessage(window, QV_MSG_DROP_PANEL, reinterpret_cast<uintptr_t>(handleOf(cell.panel())), 0);
    return window;
}

void HostWindow::destroyPluginWindow(QWidget* window) {
    if (!window) return;
    if (HostCell* c = cellOfWindow(window)) c->setPluginWindow(nullptr);
    // The request may come from inside the window's own handler: delete later.
    window->hide();
    window->deleteLater();
}

QMenu* HostWindow::menuForPath(const QStringList& levels) {
    QMenu* menu = nullptr;
    for (const QString& level : levels) {
        const QList<QAction*> actions = menu ? menu->actions() : menuBar()->actions();
        QMenu* found = nullptr;
        for (QAction* a : actions)
            if (a->menu() && a->text() == level) found = a->menu();
        if (!found) {
            found = menu ? menu->addMenu(level) : menuBar()->addMenu(level);
            connect(found, &QMenu::aboutToShow, this, &HostWindow::refreshActionStates);
        }
        menu = found;
    }
    return menu;
}

void HostWindow::addPluginMenu(const char* pluginId, const char* path, int command, bool separator) {
    QStringList levels = QString::fromUtf8(path ? path : "").split('\\', Qt::SkipEmptyParts);
    if (levels.isEmpty()) return;
    if (separator) {
        menuForPath(levels)->addSeparator();
        return;
    }
    const QString text = levels.takeLast();
    if (levels.isEmpty()) return;  // a command needs a menu to live in
    QMenu* menu = menuForPath(levels);
    QAction* action = menu->addAction(text);
    const std::string id = pluginId ? pluginId : "";
    connect(action, &QAction::triggered, this, [this, id, command] {
        if (LoadedPlugin* plugin = m_plugins.find(id.c_str())) routeCommand(*plugin, command);
    });
    m_pluginActions.push_back({action, id, command});
}

void HostWindow::addPluginButton(const char* pluginId, int command, int /*updateCommand*/, const QVMonoBitmap* bitmap) {
    const std::string id = pluginId ? pluginId : "";
    LoadedPlugin* plugin = m_plugins.find(pluginId);
    QAction* action = m_pluginBar->addAction(plugin ? QString::fromStdString(plugin->humanName) : QString("Plug-in"));
    if (bitmap && bitmap->bits && bitmap->width > 0 && bitmap->height > 0) action->setIcon(iconFromMonoBitmap(*bitmap));
    connect(action, &QAction::triggered, this, [this, id, command] {
        if (LoadedPlugin* p = m_plugins.find(id.c_str())) routeCommand(*p, command);
    });
    m_pluginActions.push_back({action, id, command});
}

QAction* HostWindow::findMenuAction(const QString& path) const {
    QStringList levels = path.split('\\', Qt::SkipEmptyParts);
    if (levels.isEmpty()) return nullptr;
    QList<QAction*> actions = menuBar()->actions();
    for (int i = 0; i < levels.size(); ++i) {
        QAction* match = nullptr;
        for (QAction* a : actions)
            if (stripAmpersand(a->text()) == stripAmpersand(levels[i])) match = a;
        if (!match) return nullptr;
        if (i + 1 == levels.size()) return match;
        if (!match->menu()) return nullptr;
        actions = match->menu()->actions();
    }
    return nullptr;
}

bool HostWindow::sendCommand(QVWindowHandle window, int command, int code, void* extra) {
    if (!window) return false;
    QVRoutedCommand record{command, code, 0};
    QVCommandPointers pointers{extra, nullptr};
    const intptr_t answer = qv::sendMessage(window, QV_MSG_COMMAND, reinterpret_cast<uintptr_t>(&record),
                                            reinterpret_cast<intptr_t>(&pointers));
    return answer == 1 && (record.flags & 1);
}

bool HostWindow::routeCommand(LoadedPlugin& plugin, int command) {
    HostCell* active = activeCell();
    if (active && active->pluginWindow() && sendCommand(qv::handleOf(active->pluginWindow()), command, QV_CN_COMMAND, nullptr))
        return true;
    return sendCommand(plugin.getGlobalMessageWindow(), command, QV_CN_COMMAND, nullptr);
}

bool HostWindow::commandState(LoadedPlugin& plugin, int command, QVCommandState& state) {
    state = QVCommandState{1, 0};
    HostCell* active = activeCell();
    if (active && active->pluginWindow() &&
        sendCommand(qv::handleOf(active->pluginWindow()), command, QV_CN_UPDATE_COMMAND_UI, &state))
        return true;
    if (sendCommand(plugin.getGlobalMessageWindow(), command, QV_CN_UPDATE_COMMAND_UI, &state)) return true;
    // Nobody answers for it: nothing would handle it either.
    state.enabled = 0;
    return false;
}

void HostWindow::refreshActionStates() {
    for (PluginAction& entry : m_pluginActions) {
        LoadedPlugin* plugin = m_plugins.find(entry.pluginId.c_str());
        if (!plugin) continue;
        QVCommandState state{};
        commandState(*plugin, entry.command, state);
        entry.action->setEnabled(state.enabled != 0);
        entry.action->setCheckable(state.checked != 0);
        entry.action->setChecked(state.checked != 0);
    }
}

void HostWindow::notice(const QString& text) {
    std::fprintf(stderr, "quarvia: %s\n", qPrintable(text));
    statusBar()->showMessage(text);
}

int HostWindow::messageBox(const QString& text, const QString& caption, uint32_t flags) {
    m_messageLog << caption + ": " + text;
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
