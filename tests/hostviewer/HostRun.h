// The real host as its own process, driven by a script, with its profile and
// the user's folders (XDG) inside a scratch folder.
#pragma once

#include <QString>
#include <QStringList>

namespace hostviewer {

struct HostResult {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `executable --offscreen --plugins PLUGINS --profile HOME/profile.ini
// --script SCRIPT ARGS...` with HOME and the XDG folders under `home`.
HostResult runHost(const QString& executable, const QString& plugins, const QString& home, const QString& script,
                   const QStringList& args = {}, int timeoutMs = 120000);

// The list of file names under a folder, recursively, sorted.
QStringList listTree(const QString& folder);

}  // namespace hostviewer
