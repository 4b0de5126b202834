#include "CProgress.h"
#include "Download.h"
#include "FakeHost.h"
#include "ProgressWatch.h"
#include "TestServer.h"
#include "UpdateFlow.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>

using namespace glossan;

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        ASSERT_TRUE(m_local.isValid());
        QDir().mkpath(m_local.filePath("files"));
    }
    void TearDown() override { EXPECT_EQ(fakeHost().outstandingBlocks, 0) << "server string not released"; }

    DownloadResult fetch(const TestServer& server, const std::string& name, CProgress* progress = nullptr,
                         const DownloadLimits& limits = DownloadLimits{}, const FileCheck& check = FileCheck{}) {
        fakeHost().currentServer = server.url();
        return Download(UpdateFlow::kServerFolder, localFolder(), name, progress, limits, check);
    }
    // Nothing but the named files: no half-written file, no temporary.
    QStringList folderEntries() const {
        return QDir(m_local.filePath("files")).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    std::string localFolder() const { return m_local.filePath("files").toStdString() + "/"; }
    std::string localFile(const std::string& name) const { return localFolder() + name; }
    std::string readLocal(const std::string& name) const {
        std::ifstream file(localFile(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    QTemporaryDir m_local;
};

// A body that ends at the close could have been cut anywhere: it is taken
// only when the list says how long it is (or what it hashes to).
TEST_F(DownloadTest, ResponseWithoutContentLengthIsRefusedUnlessTheListGivesItsSize) {
    TestServer server;
    ASSERT_TRUE(server.start({/*omitLength=*/true, 0, false, {}}));
    const std::string body = patternBytes(200000);
    server.addFile("a.dll", body);
    CProgress window;
    ProgressWatch watch;
    watch.attach(&window);

    EXPECT_EQ(fetch(server, "a.dll", &window).status, DownloadStatus::LengthUnknown);
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(fetch(server, "a.dll", &window, {}, FileCheck{4096, ""}).status, DownloadStatus::LengthMismatch);
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(fetch(server, "a.dll", &window, {}, FileCheck{200000, ""}).bytes, 200000);
    EXPECT_EQ(readLocal("a.dll"), body);
    EXPECT_TRUE(watch.current.empty()) << "the bar has no announced length to measure against";
}

// The list's checksum catches a file that is not the one listed (changed
// between requests, or altered on the way), whatever its length says.
TEST_F(DownloadTest, ChecksumMismatchIsRefusedAndLeavesNoFile) {
    TestServer server;
    ASSERT_TRUE(server.start());
    const std::string body = patternBytes(150000);
    server.addFile("a.dll", body);
    const std::string digest =
        QCryptographicHash::hash(QByteArray::fromStdString(body), QCryptographicHash::Sha256).toHex().toStdString();
    const std::string other =
        QCryptographicHash::hash("other", QCryptographicHash::Sha256).toHex().toUpper().toStdString();

    EXPECT_EQ(fetch(server, "a.dll", nullptr, {}, parseManifest("a.dll\tsha256=" + other).entries[0].check).status,
              DownloadStatus::ChecksumMismatch);
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(fetch(server, "a.dll", nullptr, {}, FileCheck{150001, digest}).status, DownloadStatus::LengthMismatch);
    EXPECT_EQ(fetch(server, "a.dll", nullptr, {}, FileCheck{150000, digest}).bytes, 150000);
    EXPECT_EQ(readLocal("a.dll"), body);
    EXPECT_EQ(folderEntries(), QStringList{"a.dll"});
}

TEST_F(DownloadTest, TwoFullBlocksWithContentLength) {
    TestServer server;
    ASSERT_TRUE(server.start());
    const std::string body = patternBytes(131072);
    server.addFile("b.dll", body);
    CProgress window;
    ProgressWatch watch;
    watch.attach(&window);

    EXPECT_EQ(fetch(server, "b.dll", &window).bytes, 131072);
    EXPECT_EQ(readLocal("b.dll"), body);
    ASSERT_FALSE(watch.current.empty());
    EXPECT_EQ(watch.current.back(), 100);
    EXPECT_TRUE(std::is_sorted(watch.current.begin(), watch.current.end()));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /download/plugins/glossan/b.dll 200"});
}

TEST_F(DownloadTest, EmptyFileAnswersZeroAndIsCreated) {
    TestServer server;
    ASSERT_TRUE(server.start());
    server.addFile("empty.dat", "");
    const DownloadResult result = fetch(server, "empty.dat");
    EXPECT_EQ(result.status, DownloadStatus::Ok);
    EXPECT_EQ(result.bytes, 0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(localFile("empty.dat"))));
    EXPECT_EQ(QFileInfo(QString::fromStdString(localFile("empty.dat"))).size(), 0);
}

TEST_F(DownloadTest, NotFoundFailsWithoutCreatingTheFile) {
    TestServer server;
    ASSERT_TRUE(server.start());
    EXPECT_EQ(fetch(server, "missing.dll").status, DownloadStatus::BadStatus);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(localFile("missing.dll"))));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /download/plugins/glossan/missing.dll 404"});
}

TEST_F(DownloadTest, RedirectIsNotFollowed) {
    TestServer server;
    ASSERT_TRUE(server.start());
    // A folder asked for without its slash answers 301 to the slashed path.
    server.addFolder("sub");
    server.addFile("sub/index.html", "listing");
    EXPECT_EQ(fetch(server, "sub").status, DownloadStatus::BadStatus);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /download/plugins/glossan/sub 301"});
}

TEST_F(DownloadTest, BodyShorterThanAnnouncedIsAFailure) {
    TestServer server;
    ASSERT_TRUE(server.start({false, /*extraLength=*/100, false, {}}));
    server.addFile("short.dll", patternBytes(5000));
    EXPECT_EQ(fetch(server, "short.dll").status, DownloadStatus::LengthMismatch);
}

TEST_F(DownloadTest, NameSegmentsArePercentEncoded) {
    TestServer server;
    ASSERT_TRUE(server.start());
    server.addFile("a b%.dll", "x");
    EXPECT_EQ(fetch(server, "a b%.dll").bytes, 1);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /download/plugins/glossan/a%20b%25.dll 200"});
    EXPECT_EQ(encodeUrlPath("/dir/ä#?.txt"), "/dir/%C3%A4%23%3F.txt");
}

TEST_F(DownloadTest, UnsafeNamesAreRefusedBeforeAnyRequest) {
    TestServer server;
    ASSERT_TRUE(server.start());
    server.addFile("evil.dll", "x");
    const std::string outside = m_local.filePath("evil.dll").toStdString();
    for (const std::string& name : {std::string("../evil.dll"), std::string("/evil.dll"), std::string("sub\\evil.dll"),
                                    std::string(""), std::string("ev\til.dll"), std::string("ev\0il.dll", 9)}) {
        EXPECT_EQ(fetch(server, name).status, DownloadStatus::UnsafeName) << name;
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(fakeHost().count("QVGetCurrentServer"), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(outside)));
}

TEST_F(DownloadTest, SelfSignedCertificateFailsWithoutRetry) {
    TestServer server;
    ASSERT_TRUE(server.start({false, 0, /*https=*/true, {}}));
    server.addFile("a.dll", "module");
    EXPECT_EQ(fetch(server, "a.dll").status, DownloadStatus::NetworkError);
    // A retry without certificate checks would have reached the server.
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(localFile("a.dll"))));
}

TEST_F(DownloadTest, CancelWritesTheCurrentBlockThenFails) {
    TestServer server;
    ASSERT_TRUE(server.start());
    const std::string body = patternBytes(600000);
    server.addFile("big.dll", body);
    CProgress window;
    ProgressWatch watch;
    watch.attach(&window);
    watch.onCurrentChanged = [](CProgress& progress, const std::string&, int) { pressCancel(progress); };

    EXPECT_EQ(fetch(server, "big.dll", &window).status, DownloadStatus::Cancelled);
    EXPECT_TRUE(folderEntries().isEmpty()) << "the part written before Cancel goes with it";
    EXPECT_TRUE(window.isVisible()) << "Cancel does not close the window";
}

TEST_F(DownloadTest, ExistingLinkInTheDownloadFolderIsReplacedNotFollowed) {
    TestServer server;
    ASSERT_TRUE(server.start());
    server.addFile("a.dll", "module");
    const QString target = m_local.filePath("target.txt");
    {
        std::ofstream(target.toStdString()) << "keep";
    }
    ASSERT_TRUE(QFile::link(target, QString::fromStdString(localFile("a.dll"))));
    EXPECT_EQ(fetch(server, "a.dll").status, DownloadStatus::Ok);
    EXPECT_FALSE(QFileInfo(QString::fromStdString(localFile("a.dll"))).isSymLink());
    EXPECT_EQ(readLocal("a.dll"), "module");
    std::ifstream kept(target.toStdString());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
}

TEST(FilePercent, LargeFilesDoNotWrap) {
    EXPECT_EQ(filePercent(50'000'000, 100'000'000), 50);
    EXPECT_EQ(filePercent(2'000'000'000, 2'100'000'000), 95);
    EXPECT_EQ(filePercent(131072, 131072), 100);
    EXPECT_EQ(filePercent(0, 0), 0);
}

}  // namespace
