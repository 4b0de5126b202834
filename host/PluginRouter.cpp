#include "PluginRouter.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "PluginManager.h"

#include "QVMessage.h"

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QToolBar>

namespace quarvia {

namespace {
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

PluginRouter::PluginRouter(PluginManager& plugins, CellGrid& grid, QMenuBar& menus, QToolBar& toolbar, QObject* parent)
    : QObject(parent), m_plugins(plugins), m_grid(grid), m_menus(menus), m_toolbar(toolbar) {}

QMenu* PluginRouter::menuForPath(const QStringList& levels) {
    QMenu* menu = nullptr;
    for (const QString& level : levels) {
        const QList<QAction*> actions = menu ? menu->actions() : m_menus.actions();
        QMenu* found = nullptr;
        for (QAction* a : actions)
            if (a->menu() && a->text() == level) found = a->menu();
        if (!found) {
            found = menu ? menu->addMenu(level) : m_menus.addMenu(level);
            connect(found, &QMenu::aboutToShow, this, &PluginRouter::refreshActionStates);
        }
        menu = found;
    }
    return menu;
}

void PluginRouter::addPluginMenu(const char* pluginId, const char* path, int command, bool separator) {
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

void PluginRouter::addPluginButton(const char* pluginId, int command, int /*updateCommand*/, const QVMonoBitmap* bitmap) {
    const std::string id = pluginId ? pluginId : "";
    LoadedPlugin* plugin = m_plugins.find(pluginId);
    QAction* action = m_toolbar.addAction(plugin ? QString::fromStdString(plugin->humanName) : QString("Plug-in"));
    if (bitmap && bitmap->bits && bitmap->width > 0 && bitmap->height > 0) action->setIcon(iconFromMonoBitmap(*bitmap));
    connect(action, &QAction::triggered, this, [this, id, command] {
        if (LoadedPlugin* p = m_plugins.find(id.c_str())) routeCommand(*p, command);
    });
    m_pluginActions.push_back({action, id, command});
}

QAction* PluginRouter::findMenuAction(const QString& path) const {
    QStringList levels = path.split('\\', Qt::SkipEmptyParts);
    if (levels.isEmpty()) return nullptr;
    QList<QAction*> actions = m_menus.actions();
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

bool PluginRouter::sendCommand(QVWindowHandle window, int command, int code, void* extra) {
    if (!window) return false;
    QVRoutedCommand record{command, code, 0};
    QVCommandPointers pointers{extra, nullptr};
    const intptr_t answer = qv::sendMessage(window, QV_MSG_COMMAND, reinterpret_cast<uintptr_t>(&record),
                                            reinterpret_cast<intptr_t>(&pointers));
    return answer == 1 && (record.flags & 1);
}

bool PluginRouter::routeCommand(LoadedPlugin& plugin, int command) {
    HostCell* active = m_grid.activeCell();
    if (active && active->pluginWindow() && sendCommand(qv::handleOf(active->pluginWindow()), command, QV_CN_COMMAND, nullptr))
        return true;
    return sendCommand(plugin.getGlobalMessageWindow(), command, QV_CN_COMMAND, nullptr);
}

bool PluginRouter::commandState(LoadedPlugin& plugin, int command, QVCommandState& state) {
    state = QVCommandState{1, 0};
    HostCell* active = m_grid.activeCell();
    if (active && active->pluginWindow() &&
        sendCommand(qv::handleOf(active->pluginWindow()), command, QV_CN_UPDATE_COMMAND_UI, &state))
        return true;
    if (sendCommand(plugin.getGlobalMessageWindow(), command, QV_CN_UPDATE_COMMAND_UI, &state)) return true;
    // Nobody answers for it: nothing would handle it either.
    state.enabled = 0;
    return false;
}

bool PluginRouter::routeCommandToCell(int cellIndex, int command) {
    HostCell* c = m_grid.cell(cellIndex);
    return c && c->pluginWindow() && sendCommand(qv::handleOf(c->pluginWindow()), command, QV_CN_COMMAND, nullptr);
}

void PluginRouter::refreshActionStates() {
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

QVWindowHandle PluginRouter::createPluginWindow(LoadedPlugin& plugin, HostCell& cell, const char* stateText) {
    if (QWidget* old = cell.pluginWindow()) destroyPluginWindow(old);
    QVWindowHandle cellHandle = qv::handleOf(&cell);
    QVWindowHandle window = stateText ? plugin.createPluginWindowState(stateText, cellHandle)
                                      : plugin.createPluginWindow(nullptr, cellHandle);
    if (!window) return nullptr;
    cell.setPluginWindow(qv::widgetOf(window), plugin.id);
    // A new window takes over the series the cell was showing.
    if (!stateText && cell.panel()->groupId())
        qv::sendMessage(window, QV_MSG_DROP_PANEL, reinterpret_cast<uintptr_t>(CellGrid::handleOf(cell.panel())), 0);
    return window;
}

void PluginRouter::destroyPluginWindow(QWidget* window) {
    if (!window) return;
    if (HostCell* c = m_grid.cellOfWindow(window)) c->setPluginWindow(nullptr);
    // The request may come from inside the window's own handler: delete later.
    window->hide();
    window->deleteLater();
}

bool PluginRouter::dropPanelOnWindow(HostCell& target, HostCell& source) {
    QWidget* window = target.pluginWindow();
    if (!window) return false;
    qv::sendMessage(qv::handleOf(window), QV_MSG_DROP_PANEL, reinterpret_cast<uintptr_t>(CellGrid::handleOf(source.panel())), 0);
    return true;
}

bool PluginRouter::dropFileOnWindow(HostCell& target, const QString& path) {
    QWidget* window = target.pluginWindow();
    if (!window) return false;
    const QByteArray utf8 = path.toUtf8();
    return qv::sendMessage(qv::handleOf(window), QV_MSG_DROP_FILE, reinterpret_cast<uintptr_t>(utf8.constData()), 0) == 1;
}

void PluginRouter::deliverPeerData(const std::string& pluginId, int cellIndex, const QByteArray& bytes) {
    HostCell* target = m_grid.cell(cellIndex);
    if (!target || target->pluginId() != pluginId || !target->pluginWindow()) {
        target = nullptr;
        for (int i = 0; i < m_grid.cellCount() && !target; ++i) {
            HostCell* c = m_grid.cell(i);
            if (c->pluginWindow() && c->pluginId() == pluginId) target = c;
        }
    }
    if (!target || bytes.isEmpty()) return;
    // The receiver reads the bytes during the call; they stay ours.
    QByteArray copy = bytes;
    qv::sendMessage(qv::handleOf(target->pluginWindow()), QV_MSG_PEER_DATA, reinterpret_cast<uintptr_t>(copy.data()),
                    static_cast<intptr_t>(copy.size()));
}

void PluginRouter::removeAll() {
    // Plug-in widgets run plug-in code: they go before the libraries do.
    for (int i = 0; i < m_grid.cellCount(); ++i) {
        HostCell* cell = m_grid.cell(i);
        if (QWidget* window = cell->pluginWindow()) {
            cell->setPluginWindow(nullptr);
            delete window;
        }
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (PluginAction& entry : m_pluginActions) delete entry.action;
    m_pluginActions.clear();
}

}  // namespace quarvia
