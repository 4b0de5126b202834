// The real host as its own process, driven by a script, with its profile and
// the user's folders (XDG) inside a scratch folder.
#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

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

// Success when the host ran its script to the end and exited with 0; else
// what it printed.
inline ::testing::AssertionResult ranCleanly(const HostResult& run) {
    if (!run.finished) return ::testing::AssertionFailure() << "the host did not finish: " << run.err.toStdString();
    if (run.exitCode != 0)
        return ::testing::AssertionFailure() << "exit code " << run.exitCode << "\n" << run.out.toStdString()
                                             << run.err.toStdString();
    return ::testing::AssertionSuccess();
}

// The list of file names under a folder, recursively, sorted.
QStringList listTree(const QString& folder);

}  // namespace hostviewer
