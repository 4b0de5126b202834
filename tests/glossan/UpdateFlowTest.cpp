#include "FakeHost.h"
#include "ProgressWatch.h"
#include "TestServer.h"
#include "UpdateFlow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <fstream>

using namespace glossan;

namespace {

constexpr ModuleVersion kOffered = packVersion(1, 0, 0, 6);
const std::string kUpgraded =
    "Glossan Install|Glossan has been upgraded.\nThe upgrade will be finished after the next restart.|48";

class UpdateFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        ASSERT_TRUE(m_host.isValid());
        m_settings.hostDirectory = m_host.path().toStdString();
        m_settings.offered = kOffered;
    }
    void TearDown() override { EXPECT_EQ(fakeHost().outstandingBlocks, 0); }

    bool startServer(const std::string& manifest) {
        if (!m_server.start()) return false;
        m_server.addFile("files.txt", manifest);
        fakeHost().currentServer = m_server.url();
        return true;
    }
    void setCurrentVersion(const std::string& ms, const std::string& ls) {
        fakeHost().profile["1|Glossan Module|CurrentVersionMS"] = ms;
        fakeHost().profile["1|Glossan Module|CurrentVersionLS"] = ls;
    }
    void run() { UpdateFlow(m_settings).run(); }

    QString hostPath(const QString& name) const { return m_host.filePath(name); }
    bool exists(const QString& name) const { return QFileInfo::exists(hostPath(name)); }
    QStringList filesIn(const QString& name) const { return QDir(hostPath(name)).entryList(QDir::Files, QDir::Name); }
    std::vector<std::string> requestedFiles() const {
        std::vector<std::string> names;
        for (const std::string& line : m_server.requests()) {
            const size_t start = line.find("glossan/") + 8;
            names.push_back(line.substr(start, line.rfind(' ') - start));
        }
        return names;
    }
    int profileWrites() const { return fakeHost().count("QVWriteProfile"); }

    QTemporaryDir m_host;
    TestServer m_server;
    UpdateSettings m_settings;
    ProgressWatch m_watch;
};

using Names = std::vector<std::string>;

TEST_F(UpdateFlowTest, LineFeedTerminatedManifestStagesEachFile) {
    ASSERT_TRUE(startServer("a.dll\nb.dll\n"));
    m_server.addFile("a.dll", "first");
    m_server.addFile("b.dll", patternBytes(70000));
    run();

    EXPECT_EQ(m_watch.windowsShown, 1);
    EXPECT_EQ(m_watch.overall, (std::vector<int>{33, 66}));
    EXPECT_EQ(m_watch.labels, (Names{"Downloading a.dll", "Downloading b.dll"}));
    EXPECT_EQ(requestedFiles(), (Names{"files.txt", "a.dll", "b.dll"}));
    EXPECT_EQ(filesIn("Glossan_New"), (QStringList{"a.dll", "b.dll", "files.txt"}));
    EXPECT_FALSE(exists("Glossan_Tmp"));
    EXPECT_FALSE(exists("Glossan_Del"));
    EXPECT_EQ(fakeHost().profile["1|Glossan Module|DownloadedVersionMS"], "65536");
    EXPECT_EQ(fakeHost().profile["1|Glossan Module|DownloadedVersionLS"], "6");
    EXPECT_EQ(fakeHost().messageBoxes, (Names{kUpgraded}));
}

TEST_F(UpdateFlowTest, CrLfSeparatedManifestWithoutFinalTerminator) {
    ASSERT_TRUE(startServer("a.dll\r\nb.dll"));
    m_server.addFile("a.dll", "first");
    m_server.addFile("b.dll", "second");
    run();

    EXPECT_EQ(m_watch.overall, (std::vector<int>{50, 100}));
    EXPECT_EQ(requestedFiles(), (Names{"files.txt", "a.dll", "b.dll"}));
    EXPECT_EQ(filesIn("Glossan_New"), (QStringList{"a.dll", "b.dll", "files.txt"}));
    EXPECT_EQ(fakeHost().messageBoxes, (Names{kUpgraded}));
}

TEST_F(UpdateFlowTest, EmptyLineEndsTheRunWithErrorDownloading) {
    ASSERT_TRUE(startServer("a.dll\n\nb.dll\n"));
    m_server.addFile("a.dll", "first");
    m_server.addFile("b.dll", "second");
    run();

    EXPECT_EQ(fakeHost().messageBoxes, (Names{"Glossan Install|Error downloading |16"}));
    EXPECT_EQ(requestedFiles(), (Names{"files.txt", "a.dll"}));
    EXPECT_FALSE(exists("Glossan_Tmp"));
    EXPECT_FALSE(exists("Glossan_New"));
    EXPECT_EQ(profileWrites(), 0);
}

TEST_F(UpdateFlowTest, CancelDuringTheSecondFileDiscardsTheDownload) {
    ASSERT_TRUE(startServer("a.dll\nb.dll\n"));
    m_server.addFile("a.dll", patternBytes(100000));
    m_server.addFile("b.dll", patternBytes(600000));
    // Pressed once the second file's data flows.
    m_watch.onCurrentChanged = [](CProgress& window, const std::string& label, int value) {
        if (label == "Downloading b.dll" && value > 0) pressCancel(window);
    };
    run();

    EXPECT_EQ(fakeHost().messageBoxes, (Names{"Glossan Install|Glossan install cancelled|48"}));
    EXPECT_EQ(requestedFiles(), (Names{"files.txt", "a.dll", "b.dll"}));
    EXPECT_FALSE(exists("Glossan_Tmp"));
    EXPECT_FALSE(exists("Glossan_New"));
    EXPECT_EQ(profileWrites(), 0);
}

TEST_F(UpdateFlowTest, EarlierStagingIsReplaced) {
    QDir().mkpath(hostPath("Glossan_New"));
    std::ofstream(hostPath("Glossan_New/old.dll").toStdString()) << "old";
    ASSERT_TRUE(startServer("a.dll\n"));
    m_server.addFile("a.dll", "new");
    run();

    EXPECT_EQ(filesIn("Glossan_New"), (QStringList{"a.dll", "files.txt"}));
    EXPECT_FALSE(exists("Glossan_Del"));
    EXPECT_EQ(fakeHost().messageBoxes, (Names{kUpgraded}));
}

TEST_F(UpdateFlowTest, FailedFinalRenameRestoresTheEarlierStaging) {
    QDir().mkpath(hostPath("Glossan_New"));
    std::ofstream(hostPath("Glossan_New/old.dll").toStdString()) << "old";
    ASSERT_TRUE(startServer("a.dll\n"));
    m_server.addFile("a.dll", "new");
    m_settings.renameFolder = [](const std::string& from, const std::string& to) {
        const std::string tmp = "/Glossan_Tmp";
        if (from.size() >= tmp.size() && from.compare(from.size() - tmp.size(), tmp.size(), tmp) == 0) return false;
        return renameFolder(from, to);
    };
    run();

    EXPECT_EQ(filesIn("Glossan_New"), (QStringList{"old.dll"}));
    EXPECT_FALSE(exists("Glossan_Del"));
    EXPECT_EQ(profileWrites(), 0);
    EXPECT_TRUE(fakeHost().messageBoxes.empty());
}

TEST_F(UpdateFlowTest, CurrentModuleIsLeftAlone) {
    QDir().mkpath(hostPath("Glossan"));
    setCurrentVersion("65536", "6");
    ASSERT_TRUE(startServer("a.dll\n"));
    run();

    EXPECT_EQ(m_watch.windowsShown, 0);
    EXPECT_TRUE(m_server.requests().empty());
    EXPECT_EQ(fakeHost().count("QVGetCurrentServer"), 0);
    EXPECT_EQ(profileWrites(), 0);
    EXPECT_TRUE(fakeHost().messageBoxes.empty());
    EXPECT_FALSE(exists("Glossan_Tmp"));
}

TEST_F(UpdateFlowTest, InstallDecision) {
    QDir().mkpath(hostPath("Glossan"));
    ASSERT_TRUE(startServer(""));
    struct Case {
        const char* ms;
        const char* ls;
        bool install;
    };
    // Profile values are stored signed; "-1" is 0xFFFFFFFF, far newer.
    const Case cases[] = {{"65536", "5", true}, {"65536", "7", false}, {"65537", "0", false},
                          {"65535", "-1", true}, {"-1", "0", false},  {"65536", "-1", false}};
    size_t requests = 0;
    for (const Case& c : cases) {
        setCurrentVersion(c.ms, c.ls);
        run();
        const size_t now = m_server.requests().size();
        EXPECT_EQ(now > requests, c.install) << c.ms << "." << c.ls;
        requests = now;
    }
}

TEST_F(UpdateFlowTest, MissingModuleFolderInstallsWhateverTheVersions) {
    setCurrentVersion("131072", "0");
    ASSERT_TRUE(startServer("a.dll\n"));
    m_server.addFile("a.dll", "module");
    run();
    EXPECT_EQ(requestedFiles(), (Names{"files.txt", "a.dll"}));
    EXPECT_EQ(filesIn("Glossan_New"), (QStringList{"a.dll", "files.txt"}));
}

TEST_F(UpdateFlowTest, ManifestFailureReportsErrorInstalling) {
    ASSERT_TRUE(m_server.start());
    fakeHost().currentServer = m_server.url();
    run();
    EXPECT_EQ(fakeHost().messageBoxes, (Names{"Glossan Install|Error installing Glossan|16"}));
    EXPECT_TRUE(exists("Glossan_Tmp")) << "the download folder is kept";
    EXPECT_FALSE(exists("Glossan_New"));
    EXPECT_EQ(profileWrites(), 0);
}

TEST_F(UpdateFlowTest, LockThatCannotBeMadeIsAnInstallError) {
    // A link where the lock file belongs is never followed.
    ASSERT_TRUE(QFile::link(hostPath("elsewhere"), hostPath(UpdateFlow::kLockName)));
    ASSERT_TRUE(startServer("a.dll\n"));
    run();
    EXPECT_EQ(fakeHost().messageBoxes, (Names{"Glossan Install|Error installing Glossan|16"}));
    EXPECT_TRUE(m_server.requests().empty());
    EXPECT_FALSE(exists("elsewhere"));
    EXPECT_FALSE(exists("Glossan_Tmp"));
}

// Start-up waits for one budget at most, however slowly a file arrives:
// here a drip fast enough for the speed floor that would take minutes.
TEST_F(UpdateFlowTest, DrippingFileEndsStartUpWithinTheBudget) {
    TestServer server;
    TestServer::Options options;
    options.faults = {"a.dll=drip:600"};
    ASSERT_TRUE(server.start(options));
    server.addFile("files.txt", "a.dll\n");
    server.addFile("a.dll", patternBytes(100000));
    fakeHost().currentServer = server.url();
    m_settings.budgetMs = 3000;
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(fakeHost().messageBoxes, (Names{"Glossan Install|Error downloading a.dll|16"}));
    EXPECT_FALSE(exists("Glossan_New"));
    EXPECT_FALSE(exists("Glossan_Tmp"));
}

// What a host gets without setting anything: every wait bounded, the
// manifest's own request well inside the start-up budget.
TEST(UpdateSettings, DefaultsBoundEveryWait) {
    const UpdateSettings settings;
    EXPECT_EQ(settings.budgetMs, UpdateSettings::kStartupBudgetMs);
    EXPECT_GT(settings.manifestLimits.totalTimeMs, 0);
    EXPECT_LT(settings.manifestLimits.totalTimeMs, settings.budgetMs);
    EXPECT_EQ(settings.manifestLimits.maxBytes, UpdateSettings::kManifestMaxBytes);
    EXPECT_GT(settings.fileLimits.lowSpeedBytesPerSecond, 0);
}

class UnsafeManifestName : public UpdateFlowTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnsafeManifestName, IsRefusedWithoutARequest) {
    const std::string name = GetParam();
    ASSERT_TRUE(startServer("a.dll\n" + name + "\n"));
    m_server.addFile("a.dll", "first");
    m_server.addFile("evil.dll", "evil");
    run();

    EXPECT_EQ(fakeHost().messageBoxes, (Names{"Glossan Install|Error downloading " + name + "|16"}));
    EXPECT_EQ(requestedFiles(), (Names{"files.txt", "a.dll"}));
    EXPECT_EQ(QDir(m_host.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeManifestName,
                         ::testing::Values("../evil.dll", "/evil.dll", "sub\\..\\evil.dll", "sub\\evil.dll"));

}  // namespace
