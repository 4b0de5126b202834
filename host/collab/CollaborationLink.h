#pragma once

#include "FrameReader.h"
#include "HubHandshake.h"
#include "MergedStateStore.h"
#include "PeerHandshake.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarvia {

// Limits that keep one bad peer from hurting the others. Admission: peers
// in the session have places of their own; connections that have not yet
// answered the challenge share a separate budget, with a cap per address,
// and a new one takes the place of the oldest that has said nothing. A
// peer answers within one round trip and is then out of reach of that
// churn, so silent connections, however often reopened, cannot keep it out.
struct CollabSettings {
    static constexpr int kMaxPeers = 8;
    static constexpr int kMaxPending = 16;
    static constexpr int kMaxPendingPerAddress = 8;
    static constexpr qint64 kMaxUnsentBytes = 16 * 1024 * 1024;
    static constexpr int kHandshakeMs = 3000;
    // Relaying: while any peer has more than the high water waiting, the
    // hub reads nothing more to relay, so a fast sender is held to the pace
    // of the slowest reader instead of getting it dropped; a peer that makes
    // no progress at all for the stall time is the one dropped. Each sender
    // is also held to a frame rate far above what a person's drags make.
    static constexpr qint64 kRelayHighWaterBytes = 4 * 1024 * 1024;
    static constexpr int kStallMs = 3000;
    static constexpr int kMaxFramesPerSecond = 1000;

    QByteArray key;                           // empty: no session key
    int maxPeers = kMaxPeers;                 // peers in the session at once
    int maxPending = kMaxPending;             // connections still in the handshake
    int maxPendingPerAddress = kMaxPendingPerAddress;
    qint64 maxUnsentBytes = kMaxUnsentBytes;  // queued for one peer before it is dropped
    qint64 relayHighWaterBytes = kRelayHighWaterBytes;
    int stallMs = kStallMs;
    int maxFramesPerSecond = kMaxFramesPerSecond;
    int handshakeMs = kHandshakeMs;           // a connection that has not opened the session by then goes
};

// The collaboration session between host processes over TCP. The listening
// host is the hub: it admits peers (with a session key, only those that
// prove it), relays what one peer sends to the others, and keeps the merged
// latest state so that a peer joining late is brought up to date. The hub
// starts with the control token and takes it back when its holder leaves.
class CollaborationLink : public QObject {
    Q_OBJECT
public:
    using DataHandler = std::function<void(const CollabFrame&)>;
    // Something the user should know: peers joining, leaving, refused, dropped.
    using NoticeHandler = std::function<void(const QString&)>;

    explicit CollaborationLink(DataHandler onData, NoticeHandler onNotice = {}, CollabSettings settings = {});
    ~CollaborationLink() override;

    bool listen(const QHostAddress& address, quint16 port, QString& error);
    bool listen(quint16 port, QString& error) { return listen(QHostAddress::LocalHost, port, error); }
    // Connects and runs the handshake; false with the reason when the hub
    // cannot be reached or the session is not opened.
    bool connectTo(const QString& host, quint16 port, QString& error);
    // Closes every connection (the hub stops listening too).
    void leave();
    quint16 port() const { return m_server ? m_server->serverPort() : 0; }
    bool isHub() const { return m_server != nullptr; }

    bool hasControl() const { return m_hasControl; }
    // Who drives, for the user: empty when this host does; on the hub the
    // peer holding the control; on a joining host "another host".
    QString driver() const;
    // Hands the token to a peer; false when this host does not hold it or
    // has nobody to give it to.
    bool passControl();
    // Sends to every peer in the session; the number of peers reached.
    int send(const std::string& pluginId, int cellIndex, const QByteArray& bytes);
    // Peers in the session (connected and past the handshake).
    int peerCount() const;
    // Asks the hub for the merged state again (a window opened after
    // joining missed it); false on the hub or outside a session.
    bool requestState();
    // Hub: what to send a peer as it joins, ahead of the merged state, as
    // data of the host's own stream (empty: nothing).
    void setGreeting(std::function<QByteArray()> greeting) { m_greeting = std::move(greeting); }

private:
    enum class Notice;
    struct Peer {
        QPointer<QTcpSocket> socket;
        QString name;
        QHostAddress address;
        bool heard = false;  // has sent a byte
        bool held = false;   // not read for now: relaying waits for readers, or its rate is spent
        double frameTokens = 0;
        qint64 tokensAtMs = -1;
        qint64 progressAtMs = 0;  // last time bytes left for it (or it joined)
        FrameReader reader;
        bool inSession = false;
        bool closing = false;  // dropped or refused on purpose: its going is not news
        std::unique_ptr<HubHandshake> hubSide;
        std::unique_ptr<PeerHandshake> joinSide;
    };

    void adopt(QTcpSocket* socket);
    Peer* addPeer(QTcpSocket* socket);
    void readFrom(Peer& peer);
    bool handshakeStep(Peer& peer, const CollabFrame& frame);
    void enterSession(Peer& peer);
    void sendMergedState(Peer& peer);
    void takeData(Peer& from, const CollabFrame& frame);
    void peerGone(Peer& peer);
    // Queues bytes for a peer; a peer that has too much unread is dropped.
    bool writeTo(Peer& peer, const QByteArray& bytes);
    void drop(Peer& peer, Notice why, const QString& detail = {});
    QString report(Notice what, const QString& peer, const QString& detail = {});
    void forgetClosedPeers();
    int sessionCount() const;
    // Frees a handshake place for a new connection from `address`.
    void makeRoomForPending(const QHostAddress& address);
    // Hub: whether relaying must wait for a peer to read; senders held for
    // it are read again once no peer is over the high water.
    bool relayBacklogged() const;
    void releaseHeldSenders();
    // Hub: spends a sender's frame allowance; false when it must pause.
    bool spendFrames(Peer& from, int frames);
    void dropStalledReaders();
    void secureChannelFailed(Peer& peer, QAbstractSocket::SocketError error);

    DataHandler m_onData;
    NoticeHandler m_onNotice;
    std::function<QByteArray()> m_greeting;
    CollabSettings m_settings;
    QTcpServer* m_server = nullptr;
    QElapsedTimer m_clock;
    // Stable addresses: a peer's handlers hold on to its entry.
    std::vector<std::unique_ptr<Peer>> m_peers;
    MergedStateStore m_state;
    bool m_hasControl = false;
    const Peer* m_tokenHolder = nullptr;  // the hub's view of who has the token
    QString m_joinFailure;                // why the handshake failed (joining side)
};

}  // namespace quarvia
