#include "HostScript.h"

#include "HostCell.h"
#include "HostWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

namespace quarvia {

namespace {
void runEventsFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (timer.elapsed() < milliseconds);
}

void runUntilIdle() {
    for (int i = 0; i < 50; ++i) {
        QApplication::sendPostedEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
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
            if (!ok || !host.cell(index)) return fail("no such cell");
            host.setActiveCell(index);
        } else if (command == "menu") {
            QAction* action = host.findMenuAction(rest);
            if (!action) return fail("no such menu command");
            action->trigger();
            runUntilIdle();
        } else if (command == "wait") {
            const int ms = rest.toInt(&ok);
            if (!ok || ms < 0) return fail("bad duration");
            runEventsFor(ms);
        } else if (command == "idle") {
            runUntilIdle();
        } else if (command == "screenshot") {
            if (rest.isEmpty()) return fail("file name missing");
            runUntilIdle();
            QString why;
            if (!saveGrab(&host, rest, why)) return fail(why);
        } else if (command == "screenshot-cell") {
            const int index = rest.section(' ', 0, 0).toInt(&ok);
            const QString file = rest.section(' ', 1).trimmed();
            if (!ok || !host.cell(index) || file.isEmpty()) return fail("usage: screenshot-cell N FILE");
            runUntilIdle();
            QString why;
            if (!saveGrab(host.cell(index), file, why)) return fail(why);
        } else if (command == "expect-window") {
            const int index = rest.toInt(&ok);
            if (!ok || !host.cell(index)) return fail("no such cell");
            if (!host.cell(index)->pluginWindow()) return fail("no plug-in window in the cell");
        } else if (command == "quit") {
            return true;
        } else {
            return fail("unknown command");
        }
    }
    return true;
}

}  // namespace quarvia
