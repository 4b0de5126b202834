#include "HostScript.h"

#include "CellGrid.h"
#include "HostCell.h"
#include "HostScriptInput.h"
#include "HostScriptPacs.h"
#include "HostScriptReading.h"
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

namespace {
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
}  // namespace

bool runHostScript(HostWindow& host, const QString& scriptText, QString& error) {
    const QStringList lines = scriptText.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QString command = line.section(' ', 0, 0);
        const QString rest = line.section(' ', 1).trimmed();
        auto fail = [&](const QString& why) {
            error = QString("line %1: %2: %3").arg(n + 1).arg(line, why);
            return false;
        };
        bool ok = true;
        if (command == "cell") {
            const int index = rest.toInt(&ok);
            if (!ok || !host.grid().cell(index)) return fail("no such cell");
            host.grid().setActiveCell(index);
        } else if (command == "menu") {
            QAction* action = host.router().findMenuAction(rest);
            if (!action) return fail("no such menu command");
            QElapsedTimer clock;
            clock.start();
            action->trigger();
            runUntilIdle();
            std::printf("%s: %lld ms\n", qPrintable(line), static_cast<long long>(clock.elapsed()));
            std::fflush(stdout);
        } else if (command == "wait") {
            const int ms = rest.toInt(&ok);
            if (!ok || ms < 0) return fail("bad duration");
            runEventsFor(ms);
        } else if (command == "wait-file") {
            // Another process's progress, seen through a file it writes.
            const QString file = rest.section(' ', 0, 0);
            const int ms = rest.section(' ', 1).trimmed().isEmpty() ? 10000 : rest.section(' ', 1).toInt(&ok);
            if (file.isEmpty() || !ok || ms < 0) return fail("usage: wait-file FILE [MS]");
            QElapsedTimer clock;
            clock.start();
            while (!QFileInfo::exists(file) && clock.elapsed() < ms) runEventsFor(20);
            if (!QFileInfo::exists(file)) return fail("no such file in time");
        } else if (command == "idle") {
            runUntilIdle();
        } else if (command == "screenshot") {
            if (rest.isEmpty()) return fail("file name missing");
            runUntilIdle();
            QString why;
            if (!saveGrab(&host, rest, why)) return fail(why);
        } else if (command == "screenshot-dialog") {
            // The dialog the user sees on top (a non-modal one like the PACS dialog too).
            QDialog* shown = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) shown = d;
            runUntilIdle();
            QString why;
            if (!shown) return fail("no dialog is shown");
            if (!saveGrab(shown, rest, why)) return fail(why);
        } else if (command == "screenshot-cell") {
            const int index = rest.section(' ', 0, 0).toInt(&ok);
            const QString file = rest.section(' ', 1).trimmed();
            if (!ok || !host.grid().cell(index) || file.isEmpty()) return fail("usage: screenshot-cell N FILE");
            // Pending paints (a render the plug-in was asked for) run here: the
            // time is what the picture took.
            QElapsedTimer clock;
            clock.start();
            runUntilIdle();
            QString why;
            if (!saveGrab(host.grid().cell(index), file, why)) return fail(why);
            std::printf("screenshot %s: %lld ms\n", qPrintable(file), static_cast<long long>(clock.elapsed()));
            std::fflush(stdout);
        } else if (command == "expect-window") {
            const int index = rest.toInt(&ok);
            if (!ok || !host.grid().cell(index)) return fail("no such cell");
            if (!host.grid().cell(index)->pluginWindow()) return fail("no plug-in window in the cell");
        } else if (command == "expect-tool") {
            // As the user sees the button: checked, unchecked, enabled, disabled.
            const int index = rest.section(' ', 0, 0).toInt(&ok);
            const QString state = rest.section(' ', 1, 1);
            const QString text = rest.section(' ', 2).trimmed();
            QAction* button = ok ? toolButton(host, index, text) : nullptr;
            if (!button) return fail("no such toolbar button");
            const bool checked = button->isCheckable() && button->isChecked();
            bool as = false;
            if (state == "checked") as = checked;
            else if (state == "unchecked") as = !checked;
            else if (state == "enabled") as = button->isEnabled();
            else if (state == "disabled") as = !button->isEnabled();
            else return fail("state must be checked, unchecked, enabled or disabled");
            if (!as) return fail("the button is not " + state);
        } else if (command == "open") {
            if (rest.isEmpty()) return fail("path missing");
            host.openPaths({rest});
            runUntilIdle();
        } else if (command == "series") {
            const QStringList args = rest.split(' ', Qt::SkipEmptyParts);
            const std::vector<const SeriesGroup*> groups = host.database().groups();
            const int g = args.value(0).toInt(&ok);
            if (!ok || g < 0 || g >= static_cast<int>(groups.size())) return fail("no such group");
            const int views = args.size() > 2 ? args[2].toInt() : 1;
            if (!host.grid().putGroupInCell(groups[size_t(g)]->id, args.value(1).toInt(), std::max(1, views))) return fail("no such cell");
            runUntilIdle();
        } else if (command == "drop") {
            if (!host.dropPanel(rest.section(' ', 0, 0).toInt(), rest.section(' ', 1, 1).toInt()))
                return fail("nothing to drop");
            runUntilIdle();
        } else if (command == "mouse" || command == "wheel" || command == "key" || command == "command") {
            const QStringList args = rest.split(' ', Qt::SkipEmptyParts);
            QElapsedTimer clock;  // input, then the paint it asks for
            clock.start();
            QWidget* window = inputWindow(host, args.value(0).toInt(&ok));
            if (!ok || !window) return fail("no such cell");
            QString why;
            if (command == "mouse" && !sendMouse(window, args.value(1), args.value(2).toInt(), args.value(3).toInt(), args.value(4), args.value(5), why))
                return fail(why);
            if (command == "wheel") sendWheel(window, args.value(1).toInt());
            if (command == "key" && !sendKey(window, args.value(1), why)) return fail(why);
            if (command == "command" && !host.router().routeCommandToCell(args.value(0).toInt(), args.value(1).toInt()))
                return fail("the command was not handled");
            runUntilIdle();
            std::printf("%s: %lld ms\n", qPrintable(line), static_cast<long long>(clock.elapsed()));
            std::fflush(stdout);
        } else if (command == "wait-idle") {
            const int ms = rest.isEmpty() ? 10000 : rest.toInt(&ok);
            if (!ok || ms < 0) return fail("bad duration");
            if (!runUntilPluginsIdle(host, ms)) return fail("still busy");
        } else if (command == "save-layout" || command == "load-layout") {
            QString why;
            const bool done = command == "save-layout" ? host.layouts().save(rest, why) : host.layouts().load(rest, why);
            if (!done) return fail(why);
            runUntilIdle();
        } else if (command == "dialog") {
            // "dialog NAME=VALUE ...": answers the next dialog.
            QMap<QString, QString> fields;
            for (const QString& field : rest.split(' ', Qt::SkipEmptyParts))
                fields[field.section('=', 0, 0)] = field.section('=', 1);
            host.answerNextDialog(fields);
        } else if (command == "expect-collab") {
            const QString status = host.collaborationStatus();
            if (!status.contains(rest)) return fail("the collaboration indicator says \"" + status + "\"");
        } else if (command == "pass-control") {
            if (!host.passCollaborationControl()) return fail("this host does not hold the control");
            runUntilIdle();
        } else if (command == "wait-peers") {
            const int count = rest.section(' ', 0, 0).toInt(&ok);
            const QString limit = rest.section(' ', 1).trimmed();
            const int ms = limit.isEmpty() ? 10000 : limit.toInt(&ok);
            if (!ok || count < 0 || ms < 0) return fail("usage: wait-peers N [MS]");
            auto peers = [&host] { return host.collaboration() ? host.collaboration()->peerCount() : 0; };
            QElapsedTimer clock;
            clock.start();
            while (peers() != count && clock.elapsed() < ms) runEventsFor(20);
            if (peers() != count) return fail(QString("%1 peers in the session").arg(peers()));
        } else if (command == "wait-control") {
            const int ms = rest.isEmpty() ? 10000 : rest.toInt(&ok);
            if (!ok || ms < 0) return fail("usage: wait-control [MS]");
            auto holds = [&host] { return host.collaboration() && host.collaboration()->hasControl(); };
            QElapsedTimer clock;
            clock.start();
            while (!holds() && clock.elapsed() < ms) runEventsFor(20);
            if (!holds()) return fail("this host did not get the control");
        } else if (command == "expect-control") {
            if (rest != "yes" && rest != "no") return fail("usage: expect-control yes|no");
            const bool holds = host.collaboration() && host.collaboration()->hasControl();
            if (holds != (rest == "yes")) return fail(holds ? "this host holds the control" : "this host does not hold the control");
        } else if (command == "collab-join") {
            if (rest.isEmpty()) return fail("usage: collab-join HOST:PORT");
            QString why;
            if (!host.joinCollaboration(QString(), rest, why)) return fail(why);
            runUntilIdle();
        } else if (command == "collab-leave") {
            host.leaveCollaboration();
            runUntilIdle();
        } else if (command == "touch") {
            // Tells another process how far this one got.
            QFile file(rest);
            if (rest.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append)) return fail("cannot write " + rest);
        } else if (command == "quit") {
            return true;
        } else {
            QString why;
            ScriptOutcome outcome = runViewerCommand(host, command, rest, why);
            if (outcome == ScriptOutcome::NotMine) outcome = runReadingCommand(host, command, rest, why);
            if (outcome == ScriptOutcome::NotMine) outcome = runPacsCommand(host, command, rest, why);
            if (outcome == ScriptOutcome::NotMine) return fail("unknown command");
            if (outcome == ScriptOutcome::Failed) return fail(why);
            runUntilIdle();
        }
    }
    return true;
}

}  // namespace quarvia
