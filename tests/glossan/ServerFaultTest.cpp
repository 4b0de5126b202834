// A module server that misbehaves while the update flow downloads: each
// fault ends in bounded time with its message, and what was staged or
// installed before is left exactly as it was.
#include "CProgress.h"
#include "FakeHost.h"
#include "TestServer.h"
#include "UpdateFlow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <iterator>

using namespace glossan;

namespace {

using Names = std::vector<std::string>;

const std::string kErrorInstalling = "Glossan Install|Error installing Glossan|16";
std::string errorDownloading(const std::string& name) { return "Glossan Install|Error downloading " + name + "|16"; }

// Short enough to keep the suite quick, long enough that loopback never
// trips them by accident.
DownloadLimits shortLimits() {
    DownloadLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.lowSpeedSeconds = 1;
    return limits;
}

// A generous bound for a flow whose every wait is one second: a hang, or
// a drip carried to its end, takes far longer.
constexpr qint64 kBoundMs = 15000;

class ServerFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        ASSERT_TRUE(m_host.isValid());
        m_settings.hostDirectory = m_host.path().toStdString();
        m_settings.offered = packVersion(1, 0, 0, 6);
        m_settings.fileLimits = shortLimits();
        m_settings.manifestLimits = shortLimits();
        m_settings.manifestLimits.maxBytes = UpdateSettings::kManifestMaxBytes;
        m_settings.manifestLimits.totalTimeMs = 3000;
        // The installed module and an earlier staging, both to survive.
        write("Glossan/module.dll", "installed");
        write("Glossan_New/old.dll", "earlier staging");
    }
    void TearDown() override { EXPECT_EQ(fakeHost().outstandingBlocks, 0); }

    bool startServer(std::vector<std::string> faults, const std::string& manifest) {
        TestServer::Options options;
        options.faults = std::move(faults);
        if (!m_server.start(options)) return false;
        m_server.addFile("files.txt", manifest);
        m_server.addFile("a.dll", "first");
        m_server.addFile("b.dll", patternBytes(300000));
        m_server.addFile("c.dll", patternBytes(100));
        fakeHost().currentServer = m_server.url();
        return true;
    }
    // Runs the flow and answers how long it took.
    qint64 run() {
        QElapsedTimer clock;
        clock.start();
        UpdateFlow(m_settings).run();
        return clock.elapsed();
    }

    void write(const QString& name, const std::string& content) {
        QDir().mkpath(QFileInfo(m_host.filePath(name)).path());
        std::ofstream(m_host.filePath(name).toStdString(), std::ios::binary) << content;
    }
    std::string read(const QString& name) const {
        std::ifstream file(m_host.filePath(name).toStdString(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    QStringList filesIn(const QString& name) const {
        return QDir(m_host.filePath(name)).entryList(QDir::Files, QDir::Name);
    }
    bool exists(const QString& name) const { return QFileInfo::exists(m_host.filePath(name)); }

    void expectEarlierStateKept() {
        EXPECT_EQ(filesIn("Glossan_New"), QStringList{"old.dll"});
        EXPECT_EQ(read("Glossan_New/old.dll"), "earlier staging");
        EXPECT_EQ(filesIn("Glossan"), QStringList{"module.dll"});
        EXPECT_EQ(read("Glossan/module.dll"), "installed");
        EXPECT_FALSE(exists("Glossan_Del"));
        EXPECT_FALSE(exists(UpdateFlow::kLockName));
        EXPECT_EQ(fakeHost().count("QVWriteProfile"), 0);
    }

    QTemporaryDir m_host;
    TestServer m_server;
    UpdateSettings m_settings;
};

struct Fault {
    const char* name;
    const char* fault;  // for serve.py
    const char* manifest;
    std::string message;
};

std::ostream& operator<<(std::ostream& out, const Fault& fault) { return out << fault.name; }

class ServerFault : public ServerFaultTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ServerFault, EndsInTimeWithItsMessageAndKeepsTheEarlierStaging) {
    const Fault& fault = GetParam();
    ASSERT_TRUE(startServer({fault.fault}, fault.manifest));
    const qint64 elapsed = run();

    EXPECT_LT(elapsed, kBoundMs);
    EXPECT_EQ(fakeHost().messageBoxes, Names{fault.message});
    expectEarlierStateKept();
    // A failed manifest leaves the download folder, as it always has; a
    // failed file takes it away.
    if (fault.message != kErrorInstalling) {
        EXPECT_FALSE(exists("Glossan_Tmp"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ServerFault,
    ::testing::Values(Fault{"ManifestStalls", "files.txt=stall", "a.dll\n", kErrorInstalling},
                      Fault{"FileStallsMidBody", "b.dll=stall-body", "a.dll\nb.dll\n", errorDownloading("b.dll")},
                      Fault{"FileDripsOneByteASecond", "c.dll=drip", "a.dll\nc.dll\n", errorDownloading("c.dll")},
                      Fault{"ManifestDrips", "files.txt=drip", "a.dll\nb.dll\nc.dll\n", kErrorInstalling},
                      Fault{"FileResetMidBody", "b.dll=reset", "a.dll\nb.dll\n", errorDownloading("b.dll")},
                      Fault{"FileLongerThanAnnounced", "b.dll=excess:1000", "a.dll\nb.dll\n",
                            errorDownloading("b.dll")},
                      Fault{"ManifestLongerThanAnnounced", "files.txt=excess:4", "a.dll\nb.dll\n", kErrorInstalling},
                      Fault{"FileChunkedAndCut", "b.dll=chunked-cut", "a.dll\nb.dll\n", errorDownloading("b.dll")},
                      Fault{"ManifestRedirected", "files.txt=redirect:/download/plugins/glossan/a.dll", "a.dll\n",
                            kErrorInstalling},
                      Fault{"FileRedirected", "b.dll=redirect:/download/plugins/glossan/a.dll", "a.dll\nb.dll\n",
                            errorDownloading("b.dll")}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST_F(ServerFaultTest, ManifestAboveTheCapIsRefusedUnread) {
    // One name, then a second "name" far beyond any manifest's size.
    ASSERT_TRUE(startServer({}, "a.dll\n" + std::string(UpdateSettings::kManifestMaxBytes + 1, 'x')));
    run();
    EXPECT_EQ(fakeHost().messageBoxes, Names{kErrorInstalling});
    EXPECT_EQ(m_server.requests().size(), 1u) << "no file of it fetched";
    EXPECT_FALSE(exists("Glossan_Tmp/files.txt")) << "refused on its announced length, before a byte was written";
    expectEarlierStateKept();
}

TEST_F(ServerFaultTest, ManifestAboveTheCapWithoutALengthIsCutOff) {
    TestServer::Options options;
    options.omitLength = true;
    ASSERT_TRUE(m_server.start(options));
    m_server.addFile("files.txt", "a.dll\n" + std::string(3 * UpdateSettings::kManifestMaxBytes, 'x'));
    m_server.addFile("a.dll", "first");
    fakeHost().currentServer = m_server.url();
    run();
    EXPECT_EQ(fakeHost().messageBoxes, Names{kErrorInstalling});
    EXPECT_LE(QFileInfo(m_host.filePath("Glossan_Tmp/files.txt")).size(), UpdateSettings::kManifestMaxBytes);
    expectEarlierStateKept();
}

TEST_F(ServerFaultTest, EmptyManifestIsAnInstallErrorAndStagesNothing) {
    ASSERT_TRUE(startServer({}, ""));
    run();
    EXPECT_EQ(fakeHost().messageBoxes, Names{kErrorInstalling});
    EXPECT_EQ(m_server.requests().size(), 1u);
    expectEarlierStateKept();
}

TEST_F(ServerFaultTest, EmptyManifestWithoutAnEarlierStagingLeavesNone) {
    QDir(m_host.filePath("Glossan_New")).removeRecursively();
    ASSERT_TRUE(startServer({}, ""));
    run();
    EXPECT_EQ(fakeHost().messageBoxes, Names{kErrorInstalling});
    EXPECT_FALSE(exists("Glossan_New"));
    EXPECT_EQ(fakeHost().count("QVWriteProfile"), 0);
}

TEST_F(ServerFaultTest, CancelEndsAStalledManifestFetch) {
    // The product's own waits, far longer than the test: only Cancel ends it.
    m_settings.manifestLimits = UpdateSettings::defaultManifestLimits();
    ASSERT_TRUE(startServer({"files.txt=stall"}, "a.dll\n"));
    QTimer::singleShot(300, [] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<CProgress*>(window)) progress->reject();
    });
    const qint64 elapsed = run();
    EXPECT_LT(elapsed, kBoundMs);
    EXPECT_EQ(fakeHost().messageBoxes, Names{"Glossan Install|Glossan install cancelled|48"});
    expectEarlierStateKept();
}

TEST_F(ServerFaultTest, LeftoverDownloadFolderIsNotStaged) {
    // What a start killed in mid-download leaves behind.
    write("Glossan_Tmp/stale.dll", "from an interrupted run");
    write("Glossan_Tmp/a.dll", "half");
    ASSERT_TRUE(startServer({}, "a.dll\n"));
    run();
    EXPECT_EQ(filesIn("Glossan_New"), (QStringList{"a.dll", "files.txt"}));
    EXPECT_EQ(read("Glossan_New/a.dll"), "first");
}

TEST_F(ServerFaultTest, InterruptedSwapGetsTheEarlierStagingBack) {
    // Killed after the earlier staging was set aside, before the new one
    // took its place; this start's download then fails.
    QDir(m_host.path()).rename("Glossan_New", "Glossan_Del");
    ASSERT_TRUE(startServer({"a.dll=reset"}, "a.dll\n"));
    m_server.addFile("a.dll", patternBytes(10000));
    run();
    EXPECT_EQ(fakeHost().messageBoxes, Names{errorDownloading("a.dll")});
    expectEarlierStateKept();
}

}  // namespace
