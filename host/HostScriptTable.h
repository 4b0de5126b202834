#pragma once
// The script's commands as tables: a command word, its handler, and whether
// the event loop runs until idle after it. Each part of the viewer keeps its
// own table beside the code it drives; the interpreter looks a word up in
// them in turn.

#include <QString>
#include <QStringList>

#include <vector>

namespace quarvia {

class HostCell;
class HostWindow;

// One script line as a handler sees it.
struct ScriptLine {
    HostWindow& host;
    QString line;     // the whole line, for the timings printed
    QString command;  // its first word
    QString rest;     // what follows, trimmed
    QStringList args; // rest cut at blanks
    QString why;      // the reason a handler failed
    bool quit = false;

    bool fail(const QString& reason) {
        why = reason;
        return false;
    }
    // The cell args[at] names, or null.
    HostCell* cellArg(int at = 0) const;
};

struct ScriptCommand {
    const char* name;
    bool (*run)(ScriptLine& line);  // false: failed, with the reason in why
    bool settle;                    // run the event loop until idle after it
};

using ScriptTable = std::vector<ScriptCommand>;

// Runs the event loop until nothing is pending and it would wait for the
// user (plug-ins get their idle time there).
void runUntilIdle();
// The application's own event loop for a while.
void runEventsFor(int milliseconds);

}  // namespace quarvia
