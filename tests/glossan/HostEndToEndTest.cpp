// The reference host, started as its own process with both plug-ins,
// installs the module from a loopback server at start-up.
#include "TestServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <memory>

namespace {

// A copy of the host in a scratch folder: the installer works beside the
// host executable, and the build tree must stay clean.
bool placeHost(const QTemporaryDir& dir) {
    QDir().mkpath(dir.filePath("plugins"));
    return QFile::copy(QUARVIA_EXECUTABLE, dir.filePath("quarvia")) &&
           QFile::setPermissions(dir.filePath("quarvia"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
           QFile::copy(VEXEL3D_LIBRARY, dir.filePath("plugins/libvexel3d.so")) &&
           QFile::copy(GLOSSAN_LIBRARY, dir.filePath("plugins/libglossan.so"));
}

TEST(HostEndToEnd, StartUpStagesTheModuleAndReportsTheUpgrade) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(placeHost(dir));
    TestServer server;
    ASSERT_TRUE(server.start());
    server.addFile("files.txt", "a.dll\nb.dll\n");
    server.addFile("a.dll", patternBytes(1000));
    server.addFile("b.dll", patternBytes(150000));
    QFile script(dir.filePath("run.script"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("idle\n");
    script.close();

    QProcess host;
    host.start(dir.filePath("quarvia"),
               {"--offscreen", "--plugins", dir.filePath("plugins"), "--profile", dir.filePath("profile.ini"),
                "--script", dir.filePath("run.script"), "--server", QString::fromStdString(server.url())});
    ASSERT_TRUE(host.waitForFinished(120000));
    const QString errors = QString::fromLocal8Bit(host.readAllStandardError());
    EXPECT_EQ(host.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.exitCode(), 0) << errors.toStdString();

    EXPECT_TRUE(errors.contains("[message box] Glossan Install: Glossan has been upgraded.\n"
                                "The upgrade will be finished after the next restart."))
        << errors.toStdString();
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"GET /download/plugins/glossan/files.txt 200",
                                                           "GET /download/plugins/glossan/a.dll 200",
                                                           "GET /download/plugins/glossan/b.dll 200"}));
    EXPECT_EQ(QDir(dir.filePath("Glossan_New")).entryList(QDir::Files, QDir::Name),
              (QStringList{"a.dll", "b.dll", "files.txt"}));
    EXPECT_EQ(QFileInfo(dir.filePath("Glossan_New/b.dll")).size(), 150000);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Glossan_Tmp")));
    QFile profile(dir.filePath("profile.ini"));
    ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
    const QByteArray text = profile.readAll();
    EXPECT_TRUE(text.contains("DownloadedVersionMS=65536")) << text.toStdString();
    EXPECT_TRUE(text.contains("DownloadedVersionLS=6")) << text.toStdString();
}

const QString kUpgradedBox =
    "[message box] Glossan Install: Glossan has been upgraded.\nThe upgrade will be finished after the next restart.";

// Starts the copied host with the installer alone and its own profile,
// optionally under a file-size limit.
std::unique_ptr<QProcess> startHost(const QTemporaryDir& dir, const TestServer& server, const QString& profile,
                                    rlim_t fileSizeLimit = RLIM_INFINITY) {
    QFile script(dir.filePath("run.script"));
    if (!script.exists() && script.open(QIODevice::WriteOnly)) script.write("idle\n");
    script.close();
    auto host = std::make_unique<QProcess>();
    if (fileSizeLimit != RLIM_INFINITY)
        host->setChildProcessModifier([fileSizeLimit] {
            const rlimit bound{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &bound);
        });
    host->start(dir.filePath("quarvia"),
                {"--offscreen", "--plugins", dir.filePath("plugins/libglossan.so"), "--profile", dir.filePath(profile),
                 "--script", dir.filePath("run.script"), "--server", QString::fromStdString(server.url())});
    return host;
}

TEST(HostEndToEnd, StalledServerEndsStartUpWithErrorInstalling) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(placeHost(dir));
    TestServer server;
    TestServer::Options options;
    options.faults = {"files.txt=stall"};
    ASSERT_TRUE(server.start(options));

    QElapsedTimer clock;
    clock.start();
    auto host = startHost(dir, server, "profile.ini");
    // The server never answers; start-up gives up on its own.
    ASSERT_TRUE(host->waitForFinished(60000));
    const qint64 elapsed = clock.elapsed();
    const QString errors = QString::fromLocal8Bit(host->readAllStandardError());
    EXPECT_EQ(host->exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("[message box] Glossan Install: Error installing Glossan")) << errors.toStdString();
    EXPECT_LT(elapsed, 40000) << "start-up waited " << elapsed << " ms";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Glossan_New")));
}

// Under a file-size limit (`ulimit -f`) a module file that outgrows it is
// an ordinary download failure: the user is told, and the host runs on.
TEST(HostEndToEnd, FileSizeLimitGivesAMessageAndARunningHost) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(placeHost(dir));
    TestServer server;
    ASSERT_TRUE(server.start());
    server.addFile("files.txt", "a.dll\nb.dll\n");
    server.addFile("a.dll", patternBytes(1000));
    server.addFile("b.dll", patternBytes(300000));
    auto host = startHost(dir, server, "profile.ini", 100000);
    ASSERT_TRUE(host->waitForFinished(120000));
    const QString errors = QString::fromLocal8Bit(host->readAllStandardError());
    EXPECT_EQ(host->exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(host->exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("[message box] Glossan Install: Error downloading b.dll")) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Glossan_New")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Glossan_Tmp")));
}

TEST(HostEndToEnd, TwoHostsStartedTogetherUpdateOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(placeHost(dir));
    TestServer server;
    TestServer::Options options;
    // Slow enough that the second host arrives while the first updates.
    options.faults = {"files.txt=delay:4"};
    ASSERT_TRUE(server.start(options));
    server.addFile("files.txt", "a.dll\nb.dll\n");
    server.addFile("a.dll", patternBytes(1000));
    server.addFile("b.dll", patternBytes(150000));

    auto first = startHost(dir, server, "profile1.ini");
    auto second = startHost(dir, server, "profile2.ini");
    ASSERT_TRUE(first->waitForFinished(60000));
    ASSERT_TRUE(second->waitForFinished(60000));
    const QString errors[] = {QString::fromLocal8Bit(first->readAllStandardError()),
                              QString::fromLocal8Bit(second->readAllStandardError())};
    EXPECT_EQ(first->exitCode(), 0) << errors[0].toStdString();
    EXPECT_EQ(second->exitCode(), 0) << errors[1].toStdString();
    EXPECT_NE(errors[0].contains(kUpgradedBox), errors[1].contains(kUpgradedBox))
        << errors[0].toStdString() << errors[1].toStdString();
    EXPECT_FALSE(errors[0].contains("Glossan Install: Error") || errors[1].contains("Glossan Install: Error"));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"GET /download/plugins/glossan/files.txt 200",
                                                           "GET /download/plugins/glossan/a.dll 200",
                                                           "GET /download/plugins/glossan/b.dll 200"}));
    EXPECT_EQ(QDir(dir.filePath("Glossan_New")).entryList(QDir::Files, QDir::Name),
              (QStringList{"a.dll", "b.dll", "files.txt"}));
    EXPECT_EQ(QFileInfo(dir.filePath("Glossan_New/b.dll")).size(), 150000);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Glossan_Tmp")));
}

}  // namespace
