#include "HostRun.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

namespace hostviewer {

HostResult runHost(const QString& executable, const QString& plugins, const QString& home, const QString& script,
                   const QStringList& args, int timeoutMs) {
    QDir().mkpath(home);
    const QString scriptPath = QDir(home).filePath("run.script");
    QFile file(scriptPath);
    HostResult result;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return result;
    file.write(script.toUtf8());
    file.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess host;
    host.setProcessEnvironment(env);
    host.start(executable, QStringList{"--offscreen", "--plugins", plugins, "--profile", home + "/profile.ini",
                                       "--script", scriptPath} + args);
    result.finished = host.waitForFinished(timeoutMs);
    if (!result.finished) {
        host.kill();
        host.waitForFinished(5000);
    }
    result.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    result.out = QString::fromLocal8Bit(host.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(host.readAllStandardError());
    return result;
}

QStringList listTree(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

}  // namespace hostviewer
