// The link in one process: hub and peers as objects, so that its paths
// where peers go away in the middle of relaying run under the sanitizers.
#include "collab/CollaborationLink.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

using quarvia::CollabFrame;
using quarvia::CollabSettings;
using quarvia::CollaborationLink;

bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool said(const QStringList& notices, const QString& text) {
    for (const QString& n : notices)
        if (n.contains(text)) return true;
    return false;
}

TEST(CollabLink, PeerThatStopsReadingIsDroppedAndTheOtherGetsEverything) {
    QStringList notices;
    CollabSettings settings;
    settings.maxUnsentBytes = 256 * 1024;
    CollaborationLink hub(nullptr, [&](const QString& t) { notices << t; }, settings);
    QString error;
    ASSERT_TRUE(hub.listen(0, error)) << error.toStdString();
    std::vector<CollabFrame> got;
    CollaborationLink reader([&](const CollabFrame& f) { got.push_back(f); });
    ASSERT_TRUE(reader.connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    // A peer that connects and never reads a byte.
    QTcpSocket stuck;
    stuck.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stuck.setReadBufferSize(1);
    stuck.connectToHost("127.0.0.1", hub.port());
    ASSERT_TRUE(stuck.waitForConnected(5000));
    stuck.write(quarvia::encodeFrame(CollabFrame{CollabFrame::Answer, {}, 0, {}}));  // a peer, as far as the hub can tell
    ASSERT_TRUE(waitFor([&] { return hub.peerCount() == 2; }));

    const int count = 200;
    int sent = 0;
    ASSERT_TRUE(waitFor([&] {
        if (sent < count) hub.send("v", 0, QByteArray(64 * 1024, char('a' + sent++ % 26)));
        return sent == count && got.size() == size_t(count);
    }, 30000)) << got.size() << " of " << count;
    for (int i = 0; i < count; ++i) EXPECT_EQ(got[size_t(i)].payload, QByteArray(64 * 1024, char('a' + i % 26)));
    EXPECT_EQ(hub.peerCount(), 1);
    EXPECT_TRUE(said(notices, "does not read what is sent to it")) << notices.join('\n').toStdString();
}

TEST(CollabLink, HolderLeavingGivesTheControlBackToTheHub) {
    QStringList notices;
    CollaborationLink hub(nullptr, [&](const QString& t) { notices << t; });
    QString error;
    ASSERT_TRUE(hub.listen(0, error));
    auto peer = std::make_unique<CollaborationLink>(nullptr);
    ASSERT_TRUE(peer->connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return hub.peerCount() == 1; }));
    ASSERT_TRUE(hub.passControl());
    ASSERT_TRUE(waitFor([&] { return peer->hasControl(); }));
    EXPECT_FALSE(hub.hasControl());
    peer.reset();
    ASSERT_TRUE(waitFor([&] { return hub.hasControl(); }));
    EXPECT_TRUE(said(notices, "control returned to this host")) << notices.join('\n').toStdString();
}

TEST(CollabLink, WrongKeyIsRefusedAndTheRightOneIsAdmitted) {
    QStringList hubNotices;
    CollabSettings hubSettings;
    hubSettings.key = "shared secret";
    CollaborationLink hub(nullptr, [&](const QString& t) { hubNotices << t; }, hubSettings);
    QString error;
    ASSERT_TRUE(hub.listen(0, error));
    CollabSettings wrongSettings;
    wrongSettings.key = "guess";
    CollaborationLink wrong(nullptr, nullptr, wrongSettings);
    EXPECT_FALSE(wrong.connectTo("127.0.0.1", hub.port(), error));
    EXPECT_TRUE(error.contains("wrong session key")) << error.toStdString();
    EXPECT_TRUE(said(hubNotices, "refused: wrong session key"));
    EXPECT_EQ(hub.peerCount(), 0);

    std::vector<CollabFrame> got;
    CollaborationLink right([&](const CollabFrame& f) { got.push_back(f); }, nullptr, hubSettings);
    ASSERT_TRUE(right.connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    EXPECT_EQ(hub.send("v", 0, "J_justspec dummy\nJ_renderer 1\n"), 1);
    ASSERT_TRUE(waitFor([&] { return got.size() == 1; }));
}

// Connections that never answer, reopened as soon as they are closed, hold
// no place a peer with the key needs; a keyless hub is not locked either.
TEST(CollabLink, PeerJoinsWhileEightSilentConnectionsKeepReconnecting) {
    for (const QByteArray key : {QByteArray("shared secret"), QByteArray()}) {
        CollabSettings settings;
        settings.key = key;
        CollaborationLink hub(nullptr, nullptr, settings);
        QString error;
        ASSERT_TRUE(hub.listen(0, error));
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < 8; ++i) {
            silent.push_back(std::make_unique<QTcpSocket>());
            QTcpSocket* socket = silent.back().get();
            QObject::connect(socket, &QTcpSocket::disconnected, socket,
                             [socket, &hub] { socket->connectToHost("127.0.0.1", hub.port()); });
            socket->connectToHost("127.0.0.1", hub.port());
        }
        ASSERT_TRUE(waitFor([&] {
            return std::all_of(silent.begin(), silent.end(),
                               [](const auto& s) { return s->state() == QAbstractSocket::ConnectedState; });
        }));
        for (int attempt = 0; attempt < 3; ++attempt) {
            CollaborationLink peer(nullptr, nullptr, settings);
            EXPECT_TRUE(peer.connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
        }
        for (auto& socket : silent) socket->disconnect();
    }
}

// A peer that floods the session with valid state is held to the pace of
// the slowest reader; a reader that keeps reading is never dropped for it.
TEST(CollabLink, FloodingPeerDoesNotGetAReadingFollowerDropped) {
    QStringList notices;
    CollaborationLink hub(nullptr, [&](const QString& t) { notices << t; });
    QString error;
    ASSERT_TRUE(hub.listen(0, error));
    const QByteArray hello = quarvia::encodeFrame(CollabFrame{CollabFrame::Answer, {}, 0, {}});
    // The follower reads 64 KiB every 10 ms: steadily, far slower than the flood.
    QTcpSocket follower;
    follower.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 65536);
    follower.setReadBufferSize(65536);
    follower.connectToHost("127.0.0.1", hub.port());
    ASSERT_TRUE(follower.waitForConnected(5000));
    follower.write(hello);
    qint64 followerRead = 0;
    QTimer reading;
    QObject::connect(&reading, &QTimer::timeout, [&] { followerRead += follower.read(65536).size(); });
    reading.start(10);
    QTcpSocket flooder;
    flooder.connectToHost("127.0.0.1", hub.port());
    ASSERT_TRUE(flooder.waitForConnected(5000));
    flooder.write(hello);
    ASSERT_TRUE(waitFor([&] { return hub.peerCount() == 2; }));

    const QByteArray state = "J_justspec dummy\nJ_renderer 1\nJ_pad " + QByteArray(60000, 'x') + "\n";
    const QByteArray frame = quarvia::encodeFrame(CollabFrame{CollabFrame::Data, "v", 0, state});
    // 64 MiB offered at once: four times what the follower reads meanwhile.
    for (int i = 0; i < 64 * 1024 * 1024 / frame.size(); ++i) flooder.write(frame);
    waitFor([] { return false; }, 4000);
    EXPECT_GT(followerRead, 0);
    EXPECT_EQ(follower.state(), QAbstractSocket::ConnectedState);
    EXPECT_FALSE(said(notices, "does not read")) << notices.join('\n').toStdString();
}

// A man in the middle on loopback: forwards both ways, keeps what passed,
// and on request flips a byte of, or slips a frame of its own into, what
// goes to the hub.
class Proxy {
public:
    explicit Proxy(quint16 hubPort) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, hubPort] {
            m_down = m_server.nextPendingConnection();
            m_up = new QTcpSocket(&m_server);
            m_up->connectToHost("127.0.0.1", hubPort);
            m_up->waitForConnected(5000);
            QObject::connect(m_down, &QTcpSocket::readyRead, [this] {
                QByteArray bytes = m_down->readAll();
                m_seen += bytes;
                if (flipNext && !bytes.isEmpty()) bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
                flipNext = false;
                m_up->write(bytes);
            });
            QObject::connect(m_up, &QTcpSocket::readyRead, [this] {
                const QByteArray bytes = m_up->readAll();
                m_seen += bytes;
                m_down->write(bytes);
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    const QByteArray& seen() const { return m_seen; }
    void inject(const QByteArray& bytes) { m_up->write(bytes); }
    bool flipNext = false;

private:
    QTcpServer m_server;
    QTcpSocket* m_down = nullptr;
    QTcpSocket* m_up = nullptr;
    QByteArray m_seen;
};

// A keyed session through someone in the middle: nothing of the state is
// readable on the wire, and a changed byte or a frame slipped in ends the
// connection with a message instead of reaching a window.
TEST(CollabLink, KeyedSessionIsUnreadableAndTamperingEndsIt) {
    for (const bool flip : {true, false}) {
        QStringList notices;
        CollabSettings settings;
        settings.key = "shared secret";
        std::vector<CollabFrame> atHub;
        CollaborationLink hub([&](const CollabFrame& f) { atHub.push_back(f); },
                              [&](const QString& t) { notices << t; }, settings);
        QString error;
        ASSERT_TRUE(hub.listen(0, error));
        Proxy proxy(hub.port());
        std::vector<CollabFrame> atPeer;
        CollaborationLink peer([&](const CollabFrame& f) { atPeer.push_back(f); }, nullptr, settings);
        ASSERT_TRUE(peer.connectTo("127.0.0.1", proxy.port(), error)) << error.toStdString();
        hub.send("v", 0, "J_justspec dummy\nJ_renderer 1\n");
        peer.send("v", 0, "J_justspec dummy\nJ_threshold 300\n");
        ASSERT_TRUE(waitFor([&] { return atPeer.size() == 1 && atHub.size() == 1; }));
        // Whole words of the state: two bytes ("J_") turn up in a few kilobytes of ciphertext by chance.
        EXPECT_FALSE(proxy.seen().contains("J_renderer")) << "state readable on the wire";
        EXPECT_FALSE(proxy.seen().contains("J_threshold")) << "state readable on the wire";
        EXPECT_FALSE(proxy.seen().contains("justspec"));

        if (flip) {
            proxy.flipNext = true;
            peer.send("v", 0, "J_justspec dummy\nJ_renderer 2\n");
        } else {
            proxy.inject(quarvia::encodeFrame(CollabFrame{CollabFrame::Data, "v", 0, "J_justspec dummy\nJ_renderer 0\n"}));
        }
        ASSERT_TRUE(waitFor([&] { return hub.peerCount() == 0; })) << (flip ? "flipped" : "injected");
        EXPECT_EQ(atHub.size(), 1u) << "a changed or foreign frame reached the hub's window";
        EXPECT_TRUE(said(notices, "secure connection failed")) << notices.join('\n').toStdString();
    }
}

// A keyed session lasts: the handshake's time limit is for the handshake.
TEST(CollabLink, KeyedSessionOutlastsTheHandshakeLimit) {
    CollabSettings settings;
    settings.key = "shared secret";
    settings.handshakeMs = 300;
    CollaborationLink hub(nullptr, nullptr, settings);
    QString error;
    ASSERT_TRUE(hub.listen(0, error));
    std::vector<CollabFrame> got;
    CollaborationLink peer([&](const CollabFrame& f) { got.push_back(f); }, nullptr, settings);
    ASSERT_TRUE(peer.connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    waitFor([] { return false; }, 1200);
    EXPECT_EQ(hub.peerCount(), 1);
    EXPECT_EQ(hub.send("v", 0, "J_justspec dummy\nJ_renderer 1\n"), 1);
    EXPECT_TRUE(waitFor([&] { return got.size() == 1; }));
}

// The hub's merged state reaches a peer that joins after it was sent.
TEST(CollabLink, LateJoinerIsSentTheMergedState) {
    CollaborationLink hub(nullptr);
    QString error;
    ASSERT_TRUE(hub.listen(0, error));
    hub.send("v", 3, "J_justspec dummy\nJ_renderer 1\nJ_capture 1 1 a b c 2\n");
    hub.send("v", 3, "J_justspec dummy\nJ_threshold 300\n");
    hub.send("v", 3, "not state");
    std::vector<CollabFrame> got;
    CollaborationLink late([&](const CollabFrame& f) { got.push_back(f); });
    ASSERT_TRUE(late.connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return got.size() == 1; }));
    EXPECT_EQ(got[0].pluginId, "v");
    EXPECT_EQ(got[0].cellIndex, 3);
    EXPECT_EQ(got[0].payload, "J_justspec dummy\nJ_renderer 1\nJ_threshold 300\n");
}

}  // namespace
