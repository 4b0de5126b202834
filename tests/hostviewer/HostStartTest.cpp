// Starting the host: the module installer runs only against a configured
// server, and the host writes nothing beside its executable.
#include "HostRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

namespace {

using hostviewer::listTree;
using hostviewer::runHost;

// A copy of the host and both plug-ins in a folder of their own.
struct PlacedHost {
    QTemporaryDir dir;
    QString bin() const { return dir.filePath("app/bin"); }
    QString executable() const { return dir.filePath("app/bin/quarvia"); }
    QString plugins() const { return dir.filePath("app/plugins"); }
    QString home() const { return dir.filePath("home"); }
    bool place() {
        return dir.isValid() && QDir().mkpath(bin()) && QDir().mkpath(plugins()) &&
               QFile::copy(QUARVIA_EXECUTABLE, executable()) &&
               QFile::setPermissions(executable(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
               QFile::copy(VEXEL3D_LIBRARY, plugins() + "/libvexel3d.so") &&
               QFile::copy(GLOSSAN_LIBRARY, plugins() + "/libglossan.so");
    }
};

// The loopback server that counts what it is asked.
class CountingServer {
public:
    explicit CountingServer(const QString& folder) : m_port(folder + "/port"), m_log(folder + "/requests.log") {
        m_process.start("/usr/bin/python3", {COUNT_SERVER, m_port, m_log, "60"});
    }
    ~CountingServer() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // The server's URL once it listens; empty when it did not start in time.
    QString url() {
        QElapsedTimer clock;
        clock.start();
        while (!QFileInfo::exists(m_port) && clock.elapsed() < 10000) QThread::msleep(20);
        QFile file(m_port);
        if (!file.open(QIODevice::ReadOnly)) return QString();
        return "http://127.0.0.1:" + QString::fromLatin1(file.readAll()).trimmed();
    }
    QStringList requests() const {
        QFile file(m_log);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QString m_port, m_log;
    QProcess m_process;
};

TEST(HostStart, WithoutServerMakesNoRequestShowsNothingAndWritesNothingBesideTheExecutable) {
    PlacedHost host;
    ASSERT_TRUE(host.place());
    CountingServer server(host.dir.path());
    ASSERT_FALSE(server.url().isEmpty());
    const QStringList before = listTree(host.dir.filePath("app"));

    const auto run = runHost(host.executable(), host.plugins(), host.home(), "idle\nwait 300\nidle\n");
    ASSERT_TRUE(ranCleanly(run));
    EXPECT_EQ(server.requests().join(", ").toStdString(), "");
    EXPECT_FALSE(run.err.contains("[message box]")) << run.err.toStdString();
    EXPECT_EQ(listTree(host.dir.filePath("app")).join(", ").toStdString(), before.join(", ").toStdString());
}

// The same host with a server: the installer asks it (so the count above
// means something), from the command line and from the profile alike.
TEST(HostStart, ServerFromTheCommandLineOrTheProfileRunsTheInstaller) {
    PlacedHost host;
    ASSERT_TRUE(host.place());
    CountingServer server(host.dir.path());
    const QString url = server.url();
    ASSERT_FALSE(url.isEmpty());

    auto run = runHost(host.executable(), host.plugins(), host.home(), "idle\n", {"--server", url});
    ASSERT_TRUE(ranCleanly(run));
    const int fromCommandLine = server.requests().size();
    EXPECT_GE(fromCommandLine, 1);

    {
        QSettings profile(host.home() + "/profile.ini", QSettings::IniFormat);
        profile.setValue("Quarvia [0] Settings/Server", url);
    }
    run = runHost(host.executable(), host.plugins(), host.home(), "idle\n");
    ASSERT_TRUE(run.finished);
    EXPECT_GT(server.requests().size(), fromCommandLine) << run.err.toStdString();
}

}  // namespace
