#include "HostScript.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostScriptInput.h"
#include "HostScriptPacs.h"
#include "HostScriptReading.h"
#include "HostScriptTable.h"
#include "HostScriptViewer.h"
#include "HostWindow.h"
#include "ImagePanel.h"
#include "LayoutStore.h"
#include "collab/CollaborationLink.h"
#include "PluginRouter.h"
#include "dicom/StudyDatabase.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

namespace quarvia {

// The application's own event loop for a while: the plug-ins get their idle
// time whenever it is about to wait, as they do in interactive use.
void runEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Delivers what is pending, then lets the event loop come to the point where
// it would wait for the user (plug-ins get their idle time there).
void runUntilIdle() {
    for (int i = 0; i < 50; ++i) {
        QApplication::sendPostedEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     &QEventLoop::quit);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    QApplication::sendPostedEvents();
}

namespace {
// Until every plug-in answers that it has no idle work left and the queue
// is drained (background renders post their repaints).
bool runUntilPluginsIdle(HostWindow& host, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    int quiet = 0;
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        bool busy = false;
        for (const auto& plugin : host.plugins().plugins())
            if (plugin->onIdle && plugin->onIdle()) busy = true;
        quiet = busy ? 0 : quiet + 1;
        if (quiet >= 20) return true;
        QThread::msleep(5);
    }
    return false;
}

// The window that input to cell N goes to.
QWidget* inputWindow(HostWindow& host, int index) {
    HostCell* cell = host.grid().cell(index);
    if (!cell) return nullptr;
    return cell->pluginWindow() ? cell->pluginWindow() : static_cast<QWidget*>(cell->panel());
}

// A toolbar button of the plug-in window in cell N, by its text.
QAction* toolButton(HostWindow& host, int index, const QString& text) {
    HostCell* cell = host.grid().cell(index);
    QWidget* window = cell ? cell->pluginWindow() : nullptr;
    if (!window) return nullptr;
    for (QToolBar* bar : window->findChildren<QToolBar*>())
        for (QAction* action : bar->actions())
            if (action->text() == text) return action;
    return nullptr;
}

bool saveGrab(QWidget* widget, const QString& file, QString& error) {
    if (!widget) {
        error = "nothing to grab";
        return false;
    }
    if (!widget->grab().save(file, "PNG")) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

void printTimed(const QString& line, const QElapsedTimer& clock) {
    std::printf("%s: %lld ms\n", qPrintable(line), static_cast<long long>(clock.elapsed()));
    std::fflush(stdout);
}

// An optional time limit in milliseconds (10000 when not given).
bool limitArg(const QString& text, int& ms) {
    bool ok = true;
    ms = text.isEmpty() ? 10000 : text.toInt(&ok);
    return ok && ms >= 0;
}

// Runs the event loop until done() or MS have passed; answers done().
template <typename Done>
bool waitUntil(int ms, Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) runEventsFor(20);
    return done();
}

bool cell(ScriptLine& s) {
    bool ok = false;
    const int index = s.rest.toInt(&ok);
    if (!ok || !s.host.grid().cell(index)) return s.fail("no such cell");
    s.host.grid().setActiveCell(index);
    return true;
}

bool menu(ScriptLine& s) {
    QAction* action = s.host.router().findMenuAction(s.rest);
    if (!action) return s.fail("no such menu command");
    QElapsedTimer clock;
    clock.start();
    action->trigger();
    runUntilIdle();
    printTimed(s.line, clock);
    return true;
}

bool wait(ScriptLine& s) {
    bool ok = false;
    const int ms = s.rest.toInt(&ok);
    if (!ok || ms < 0) return s.fail("bad duration");
    runEventsFor(ms);
    return true;
}

// Another process's progress, seen through a file it writes.
bool waitFile(ScriptLine& s) {
    const QString file = s.rest.section(' ', 0, 0);
    int ms = 0;
    if (file.isEmpty() || !limitArg(s.rest.section(' ', 1).trimmed(), ms)) return s.fail("usage: wait-file FILE [MS]");
    if (!waitUntil(ms, [&] { return QFileInfo::exists(file); })) return s.fail("no such file in time");
    return true;
}

bool idle(ScriptLine&) {
    runUntilIdle();
    return true;
}

bool screenshot(ScriptLine& s) {
    if (s.rest.isEmpty()) return s.fail("file name missing");
    runUntilIdle();
    return saveGrab(&s.host, s.rest, s.why);
}

// The dialog the user sees on top (a non-modal one like the PACS dialog too).
bool screenshotDialog(ScriptLine& s) {
    QDialog* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) shown = d;
    runUntilIdle();
    if (!shown) return s.fail("no dialog is shown");
    return saveGrab(shown, s.rest, s.why);
}

bool screenshotCell(ScriptLine& s) {
    HostCell* cell = s.cellArg();
    const QString file = s.rest.section(' ', 1).trimmed();
    if (!cell || file.isEmpty()) return s.fail("usage: screenshot-cell N FILE");
    // Pending paints (a render the plug-in was asked for) run here: the
    // time is what the picture took.
    QElapsedTimer clock;
    clock.start();
    runUntilIdle();
    if (!saveGrab(cell, file, s.why)) return false;
    std::printf("screenshot %s: %lld ms\n", qPrintable(file), static_cast<long long>(clock.elapsed()));
    std::fflush(stdout);
    return true;
}

bool expectWindow(ScriptLine& s) {
    bool ok = false;
    const int index = s.rest.toInt(&ok);
    if (!ok || !s.host.grid().cell(index)) return s.fail("no such cell");
    if (!s.host.grid().cell(index)->pluginWindow()) return s.fail("no plug-in window in the cell");
    return true;
}

// As the user sees the button: checked, unchecked, enabled, disabled.
bool expectTool(ScriptLine& s) {
    bool ok = false;
    const int index = s.rest.section(' ', 0, 0).toInt(&ok);
    const QString state = s.rest.section(' ', 1, 1);
    const QString text = s.rest.section(' ', 2).trimmed();
    QAction* button = ok ? toolButton(s.host, index, text) : nullptr;
    if (!button) return s.fail("no such toolbar button");
    const bool checked = button->isCheckable() && button->isChecked();
    bool as = false;
    if (state == "checked") as = checked;
    else if (state == "unchecked") as = !checked;
    else if (state == "enabled") as = button->isEnabled();
    else if (state == "disabled") as = !button->isEnabled();
    else return s.fail("state must be checked, unchecked, enabled or disabled");
    if (!as) return s.fail("the button is not " + state);
    return true;
}

bool open(ScriptLine& s) {
    if (s.rest.isEmpty()) return s.fail("path missing");
    s.host.openPaths({s.rest});
    runUntilIdle();
    return true;
}

bool series(ScriptLine& s) {
    const std::vector<const SeriesGroup*> groups = s.host.database().groups();
    bool ok = false;
    const int g = s.args.value(0).toInt(&ok);
    if (!ok || g < 0 || g >= static_cast<int>(groups.size())) return s.fail("no such group");
    const int views = s.args.size() > 2 ? s.args[2].toInt() : 1;
    if (!s.host.grid().putGroupInCell(groups[size_t(g)]->id, s.args.value(1).toInt(), std::max(1, views)))
        return s.fail("no such cell");
    runUntilIdle();
    return true;
}

bool drop(ScriptLine& s) {
    if (!s.host.dropPanel(s.rest.section(' ', 0, 0).toInt(), s.rest.section(' ', 1, 1).toInt()))
        return s.fail("nothing to drop");
    runUntilIdle();
    return true;
}

// Input to a cell's window, then the paint it asks for, timed together.
template <bool (*send)(ScriptLine&, QWidget*)>
bool input(ScriptLine& s) {
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    QWidget* window = inputWindow(s.host, s.args.value(0).toInt(&ok));
    if (!ok || !window) return s.fail("no such cell");
    if (!send(s, window)) return false;
    runUntilIdle();
    printTimed(s.line, clock);
    return true;
}

bool mouse(ScriptLine& s, QWidget* window) {
    const QStringList& a = s.args;
    return sendMouse(window, a.value(1), a.value(2).toInt(), a.value(3).toInt(), a.value(4), a.value(5), s.why);
}

bool wheel(ScriptLine& s, QWidget* window) {
    sendWheel(window, s.args.value(1).toInt());
    return true;
}

bool key(ScriptLine& s, QWidget* window) { return sendKey(window, s.args.value(1), s.why); }

bool command(ScriptLine& s, QWidget*) {
    if (!s.host.router().routeCommandToCell(s.args.value(0).toInt(), s.args.value(1).toInt()))
        return s.fail("the command was not handled");
    return true;
}

bool waitIdle(ScriptLine& s) {
    int ms = 0;
    if (!limitArg(s.rest, ms)) return s.fail("bad duration");
    if (!runUntilPluginsIdle(s.host, ms)) return s.fail("still busy");
    return true;
}

bool saveLayout(ScriptLine& s) {
    if (!s.host.layouts().save(s.rest, s.why)) return false;
    runUntilIdle();
    return true;
}

bool loadLayout(ScriptLine& s) {
    if (!s.host.layouts().load(s.rest, s.why)) return false;
    runUntilIdle();
    return true;
}

// "dialog NAME=VALUE ...": answers the next dialog.
bool dialog(ScriptLine& s) {
    QMap<QString, QString> fields;
    for (const QString& field : s.args) fields[field.section('=', 0, 0)] = field.section('=', 1);
    s.host.answerNextDialog(fields);
    return true;
}

bool expectCollab(ScriptLine& s) {
    const QString status = s.host.collaborationStatus();
    if (!status.contains(s.rest)) return s.fail("the collaboration indicator says \"" + status + "\"");
    return true;
}

bool passControl(ScriptLine& s) {
    if (!s.host.passCollaborationControl()) return s.fail("this host does not hold the control");
    runUntilIdle();
    return true;
}

bool holdsControl(HostWindow& host) { return host.collaboration() && host.collaboration()->hasControl(); }

bool waitPeers(ScriptLine& s) {
    bool ok = false;
    const int count = s.rest.section(' ', 0, 0).toInt(&ok);
    int ms = 0;
    if (!ok || count < 0 || !limitArg(s.rest.section(' ', 1).trimmed(), ms)) return s.fail("usage: wait-peers N [MS]");
    HostWindow& host = s.host;
    auto peers = [&host] { return host.collaboration() ? host.collaboration()->peerCount() : 0; };
    if (!waitUntil(ms, [&] { return peers() == count; })) return s.fail(QString("%1 peers in the session").arg(peers()));
    return true;
}

bool waitControl(ScriptLine& s) {
    int ms = 0;
    if (!limitArg(s.rest, ms)) return s.fail("usage: wait-control [MS]");
    if (!waitUntil(ms, [&] { return holdsControl(s.host); })) return s.fail("this host did not get the control");
    return true;
}

bool expectControl(ScriptLine& s) {
    if (s.rest != "yes" && s.rest != "no") return s.fail("usage: expect-control yes|no");
    const bool holds = holdsControl(s.host);
    if (holds != (s.rest == "yes"))
        return s.fail(holds ? "this host holds the control" : "this host does not hold the control");
    return true;
}

bool collabJoin(ScriptLine& s) {
    if (s.rest.isEmpty()) return s.fail("usage: collab-join HOST:PORT");
    if (!s.host.joinCollaboration(QString(), s.rest, s.why)) return false;
    runUntilIdle();
    return true;
}

bool collabLeave(ScriptLine& s) {
    s.host.leaveCollaboration();
    runUntilIdle();
    return true;
}

// Tells another process how far this one got.
bool touch(ScriptLine& s) {
    QFile file(s.rest);
    if (s.rest.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append)) return s.fail("cannot write " + s.rest);
    return true;
}

bool quit(ScriptLine& s) {
    s.quit = true;
    return true;
}

const ScriptTable& hostCommands() {
    static const ScriptTable table = {
        {"cell", cell, false},
        {"menu", menu, false},
        {"wait", wait, false},
        {"wait-file", waitFile, false},
        {"idle", idle, false},
        {"screenshot", screenshot, false},
        {"screenshot-dialog", screenshotDialog, false},
        {"screenshot-cell", screenshotCell, false},
        {"expect-window", expectWindow, false},
        {"expect-tool", expectTool, false},
        {"open", open, false},
        {"series", series, false},
        {"drop", drop, false},
        {"mouse", input<mouse>, false},
        {"wheel", input<wheel>, false},
        {"key", input<key>, false},
        {"command", input<command>, false},
        {"wait-idle", waitIdle, false},
        {"save-layout", saveLayout, false},
        {"load-layout", loadLayout, false},
        {"dialog", dialog, false},
        {"expect-collab", expectCollab, false},
        {"pass-control", passControl, false},
        {"wait-peers", waitPeers, false},
        {"wait-control", waitControl, false},
        {"expect-control", expectControl, false},
        {"collab-join", collabJoin, false},
        {"collab-leave", collabLeave, false},
        {"touch", touch, false},
        {"quit", quit, false},
    };
    return table;
}

const ScriptCommand* findCommand(const QString& word) {
    for (const ScriptTable* table : {&hostCommands(), &viewerCommands(), &readingCommands(), &pacsCommands()})
        for (const ScriptCommand& command : *table)
            if (word == QLatin1String(command.name)) return &command;
    return nullptr;
}
}  // namespace

HostCell* ScriptLine::cellArg(int at) const {
    bool ok = false;
    const int index = args.value(at).toInt(&ok);
    return ok ? host.grid().cell(index) : nullptr;
}

bool runHostScript(HostWindow& host, const QString& scriptText, QString& error) {
    const QStringList lines = scriptText.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString text = lines[n].trimmed();
        if (text.isEmpty() || text.startsWith('#')) continue;
        const QString rest = text.section(' ', 1).trimmed();
        ScriptLine line{host, text, text.section(' ', 0, 0), rest, rest.split(' ', Qt::SkipEmptyParts), QString(), false};
        const ScriptCommand* command = findCommand(line.command);
        if (!command) line.why = "unknown command";
        if (!command || !command->run(line)) {
            error = QString("line %1: %2: %3").arg(n + 1).arg(text, line.why);
            return false;
        }
        if (line.quit) return true;
        if (command->settle) runUntilIdle();
    }
    return true;
}

}  // namespace quarvia
