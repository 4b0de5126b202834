// Both protocols against a real PACS (Orthanc on loopback, started here):
// query, retrieve, store, and the ways a server fails a user.
#include "pacs/DicomWebClient.h"
#include "pacs/DimseClient.h"
#include "pacs/MultipartReader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

using namespace quarvia;

// One server for the suite: starting Orthanc takes a second.
class Pacs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        work = new QTemporaryDir;
        QProcess phantom;
        phantom.start(PHANTOM_TOOL, {"--out", work->filePath("series"), "--size", "64x64x12"});
        phantom.waitForFinished(60000);
        QProcess start;
        start.start("/usr/bin/python3", {ORTHANC_SCRIPT, "start", work->filePath("orthanc"), "--tls", work->filePath("series")});
        start.waitForFinished(60000);
        const QString line = QString::fromUtf8(start.readAllStandardOutput());
        const QRegularExpressionMatch m = QRegularExpression("http (\\d+) dimse (\\d+).* ca (\\S+) cert (\\S+)").match(line);
        if (start.exitCode() != 0 || !m.hasMatch()) {
            skipReason = new QString(line + QString::fromUtf8(start.readAllStandardError()));
            return;
        }
        QFile credentials(work->filePath("credentials"));
        credentials.open(QIODevice::WriteOnly);
        credentials.write("reader:secret-pw\n");
        credentials.close();
        server = new PacsServer;
        server->name = "test";
        server->webUrl = "http://127.0.0.1:" + m.captured(1) + "/dicom-web";
        server->aeTitle = "TESTPACS";
        server->host = "127.0.0.1";
        server->port = m.captured(2).toInt();
        server->credentialsFile = credentials.fileName();
        // HTTPS in front of the server, with a certificate of the test authority.
        caFile = new QString(m.captured(3));
        QTcpServer probe;  // a port nobody uses, for the proxy
        probe.listen(QHostAddress::LocalHost, 0);
        tlsPort = new QString(QString::number(probe.serverPort()));
        probe.close();
        tlsProxy = new QProcess;
        tlsProxy->start("/usr/bin/python3", {PROXY_SCRIPT, *tlsPort, m.captured(1), "0", "--tls", m.captured(4)});
        tlsProxy->waitForReadyRead(10000);
    }
    static void TearDownTestSuite() {
        if (tlsProxy) tlsProxy->kill(), tlsProxy->waitForFinished(), delete tlsProxy;
        QProcess::execute("/usr/bin/python3", {ORTHANC_SCRIPT, "stop", work->filePath("orthanc")});
        delete server;
        delete work;
    }
    void SetUp() override {
        if (skipReason) GTEST_SKIP() << skipReason->toStdString();
    }

    static QTemporaryDir* work;
    static PacsServer* server;
    static QString* skipReason;
    static QString* caFile;
    static QString* tlsPort;
    static QProcess* tlsProxy;
};
QTemporaryDir* Pacs::work = nullptr;
PacsServer* Pacs::server = nullptr;
QString* Pacs::skipReason = nullptr;
QString* Pacs::caFile = nullptr;
QString* Pacs::tlsPort = nullptr;
QProcess* Pacs::tlsProxy = nullptr;

TEST_F(Pacs, BothProtocolsFindAndRetrieveTheSameSeries) {
    DimseClient dimse(*server, work->filePath("received"));
    DicomWebClient web(*server);
    ASSERT_TRUE(dimse.echo().ok());
    std::vector<StudyHit> studies, webStudies;
    ASSERT_TRUE(dimse.findStudies({"PHANTOM*", "", "", "CT", ""}, studies).ok());
    ASSERT_TRUE(web.findStudies({"PHANTOM*", "", "", "CT", ""}, webStudies).ok());
    ASSERT_EQ(studies.size(), 1u);
    ASSERT_EQ(webStudies.size(), 1u);
    EXPECT_EQ(studies[0].studyUid, webStudies[0].studyUid);
    EXPECT_EQ(studies[0].patientName, webStudies[0].patientName);
    std::vector<SeriesHit> series;
    ASSERT_TRUE(web.findSeries(studies[0].studyUid, series).ok());
    ASSERT_EQ(series.size(), 1u);
    EXPECT_EQ(series[0].instances, 12);
    std::vector<InstanceHit> byDimse, byWeb;
    ASSERT_TRUE(dimse.findInstances(studies[0].studyUid, series[0].seriesUid, byDimse).ok());
    ASSERT_TRUE(web.findInstances(studies[0].studyUid, series[0].seriesUid, byWeb).ok());
    ASSERT_EQ(byDimse.size(), 12u);
    ASSERT_EQ(byWeb.size(), 12u);
    EXPECT_TRUE(byDimse[0].hasGeometry && byWeb[0].hasGeometry);

    int files = 0, parts = 0;
    EXPECT_TRUE(dimse.retrieve(studies[0].studyUid, series[0].seriesUid, "", [&](const QString& file, const QByteArray&) {
        files += QFile::exists(file) ? 1 : 0;
        return true;
    }).ok());
    EXPECT_TRUE(web.retrieve(studies[0].studyUid, series[0].seriesUid, "", [&](const QString&, const QByteArray& bytes) {
        parts += bytes.mid(128, 4) == "DICM" ? 1 : 0;
        return true;
    }).ok());
    EXPECT_EQ(files, 12);
    EXPECT_EQ(parts, 12);
    // A cancel keeps what came before it.
    int kept = 0;
    const PacsResult cancelled = web.retrieve(studies[0].studyUid, series[0].seriesUid, "", [&](const QString&, const QByteArray&) {
        return ++kept < 3;
    });
    EXPECT_EQ(cancelled.status, PacsStatus::Cancelled);
    EXPECT_EQ(kept, 3);
}

TEST_F(Pacs, AServerThatFailsTheUserSaysHow) {
    PacsServer wrongUser = *server;
    QFile bad(work->filePath("bad-credentials"));
    bad.open(QIODevice::WriteOnly);
    bad.write("reader:wrong\n");
    bad.close();
    wrongUser.credentialsFile = bad.fileName();
    std::vector<StudyHit> hits;
    EXPECT_EQ(DicomWebClient(wrongUser).findStudies({}, hits).status, PacsStatus::NotAuthorised);
    PacsServer wrongAe = *server;
    wrongAe.aeTitle = "NOTTHEPACS";
    EXPECT_EQ(DimseClient(wrongAe, work->filePath("x")).echo().status, PacsStatus::Refused);
    PacsServer dead = *server;
    dead.port = 1;
    dead.webUrl = "http://127.0.0.1:1/dicom-web";
    EXPECT_EQ(DimseClient(dead, work->filePath("x")).echo().status, PacsStatus::Unreachable);
    EXPECT_EQ(DicomWebClient(dead).findStudies({}, hits).status, PacsStatus::Unreachable);
}

TEST_F(Pacs, HttpsVerifiesTheCertificateAgainstTheServersAuthority) {
    PacsServer secure = *server;
    secure.webUrl = "https://127.0.0.1:" + *tlsPort + "/dicom-web";
    std::vector<StudyHit> hits;
    EXPECT_EQ(DicomWebClient(secure).findStudies({}, hits).status, PacsStatus::TlsFailed) << "an authority the system does not know";
    secure.caFile = *caFile;
    const PacsResult trusted = DicomWebClient(secure).findStudies({}, hits);
    EXPECT_TRUE(trusted.ok()) << trusted.detail.toStdString();
    EXPECT_EQ(hits.size(), 1u);
}

// A PACS of its own, whose DIMSE port speaks only TLS.
TEST_F(Pacs, DimseOverTlsVerifiesTheServerCertificate) {
    QTemporaryDir tlsWork;
    QProcess start;
    start.start("/usr/bin/python3", {ORTHANC_SCRIPT, "start", tlsWork.filePath("orthanc"), "--dimse-tls"});
    start.waitForFinished(60000);
    const QRegularExpressionMatch m =
        QRegularExpression("dimse (\\d+).* ca (\\S+)").match(QString::fromUtf8(start.readAllStandardOutput()));
    if (start.exitCode() != 0 || !m.hasMatch()) GTEST_SKIP() << "a TLS PACS could not be started";
    PacsServer secure = *server;
    secure.port = m.captured(1).toInt();
    secure.dimseTls = true;
    EXPECT_EQ(DimseClient(secure, work->filePath("x")).echo().status, PacsStatus::TlsFailed) << "an unknown authority";
    secure.caFile = m.captured(2);
    const PacsResult trusted = DimseClient(secure, work->filePath("x")).echo();
    EXPECT_TRUE(trusted.ok()) << trusted.detail.toStdString();
    secure.dimseTls = false;
    EXPECT_FALSE(DimseClient(secure, work->filePath("x")).echo().ok()) << "plain DIMSE to a TLS port";
    QProcess::execute("/usr/bin/python3", {ORTHANC_SCRIPT, "stop", tlsWork.filePath("orthanc")});
}

// What the host sends back is there for the next query, by either road.
TEST_F(Pacs, ObjectsStoredByDimseAndByStowAreFoundAgain) {
    QProcess phantom;
    phantom.start(PHANTOM_TOOL, {"--out", work->filePath("sent"), "--size", "32x32x2"});
    ASSERT_TRUE(phantom.waitForFinished(60000));
    QFile second(work->filePath("sent/0002.dcm"));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_TRUE(DimseClient(*server, work->filePath("x")).store(work->filePath("sent/0001.dcm")).ok());
    const PacsResult stow = DicomWebClient(*server).store(second.readAll());
    EXPECT_TRUE(stow.ok()) << stow.detail.toStdString();
    std::vector<StudyHit> after;
    // The phantom tool makes a study of its own each run: the newest has both images.
    ASSERT_TRUE(DicomWebClient(*server).findStudies({}, after).ok());
    int found = 0;
    for (const StudyHit& study : after) {
        std::vector<SeriesHit> series;
        ASSERT_TRUE(DimseClient(*server, work->filePath("x")).findSeries(study.studyUid, series).ok());
        for (const SeriesHit& s : series) found += s.instances == 2 ? 1 : 0;
    }
    EXPECT_EQ(found, 1);
}

TEST(Multipart, PartsSplitAnywhereComeOutWhole) {
    const QByteArray body = "preamble\r\n--b1\r\nContent-Type: application/dicom\r\n\r\nfirst\r\n--b1\r\n"
                            "Content-Type: application/dicom\r\n\r\nsecond part\r\n--b1--\r\n";
    for (int piece = 1; piece <= body.size(); ++piece) {
        QList<QByteArray> parts;
        MultipartReader reader("b1", [&](const QByteArray& p) { return parts.append(p), true; }, 1 << 20);
        for (int at = 0; at < body.size(); at += piece) reader.feed(body.constData() + at, size_t(std::min(piece, int(body.size()) - at)));
        EXPECT_EQ(reader.state(), MultipartReader::State::Done) << piece;
        EXPECT_EQ(parts, (QList<QByteArray>{"first", "second part"})) << piece;
    }
    MultipartReader small("b1", [](const QByteArray&) { return true; }, 4);
    small.feed(body.constData(), size_t(body.size()));
    EXPECT_EQ(small.state(), MultipartReader::State::TooLarge);
    EXPECT_EQ(MultipartReader::boundaryOf("multipart/related; type=\"application/dicom\"; boundary=\"xy z\""), "xy z");
}

}  // namespace
