#include "TestServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include <fstream>

namespace {

const QString kScript = QStringLiteral(GLOSSAN_TEST_SOURCE_DIR "/serve.py");

bool makeCertificate(const QString& cert, const QString& key) {
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                              "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
    return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
}

}  // namespace

TestServer::TestServer() = default;

TestServer::~TestServer() { stop(); }

bool TestServer::start(const Options& options) {
    const QString root = m_dir.filePath("root");
    QDir().mkpath(root + "/download/plugins/glossan");
    const QString portFile = m_dir.filePath("port");
    QStringList arguments{kScript, "--root", root, "--port-file", portFile, "--log", m_dir.filePath("requests.log")};
    if (options.omitLength) arguments << "--no-length";
    if (options.extraLength) arguments << "--extra-length" << QString::number(options.extraLength);
    for (const std::string& fault : options.faults) arguments << "--fault" << QString::fromStdString(fault);
    if (options.https) {
        const QString cert = m_dir.filePath("cert.pem"), key = m_dir.filePath("key.pem");
        if (!makeCertificate(cert, key)) {
            ADD_FAILURE() << "openssl could not make a certificate";
            return false;
        }
        arguments << "--cert" << cert << "--key" << key;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3", arguments);
    if (!m_process.waitForStarted(30000)) {
        ADD_FAILURE() << "the test server did not start";
        return false;
    }
    // Poll for the port; the script writes it once the socket listens.
    for (int attempt = 0; attempt < 3000 && !QFile::exists(portFile); ++attempt) {
        if (m_process.state() != QProcess::Running) break;
        QThread::msleep(10);
    }
    QFile port(portFile);
    if (!port.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "the test server did not report its port";
        return false;
    }
    const QByteArray number = port.readAll().trimmed();
    m_url = std::string(options.https ? "https" : "http") + "://127.0.0.1:" + number.toStdString();
    return true;
}

void TestServer::stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished(30000);
}

void TestServer::addFile(const std::string& name, const std::string& content) {
    const QString path = m_dir.filePath("root/download/plugins/glossan/") + QString::fromStdString(name);
    std::ofstream(path.toStdString(), std::ios::binary) << content;
}

void TestServer::addFolder(const std::string& name) {
    QDir().mkpath(m_dir.filePath("root/download/plugins/glossan/") + QString::fromStdString(name));
}

std::vector<std::string> TestServer::requests() const {
    std::vector<std::string> lines;
    std::ifstream log(m_dir.filePath("requests.log").toStdString());
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

std::string patternBytes(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
    return bytes;
}
