#include "CollaborationLink.h"

#include "SecureChannel.h"
#include "SessionGreeting.h"
#include "SessionKey.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace quarvia {

enum class CollaborationLink::Notice {
    PeerJoined,
    PeerLeft,
    PeerRefusedWrongKey,
    PeerRefusedFull,
    PeerHandshakeTimeout,
    PeerNotReading,
    PeerGarbage,
    ControlReturned,
    Joined,
    HubClosed,
    RefusedByHub,
    HubNeedsKey,
    HubAsksNoKey,
    HubUnproven,
    HubGarbage,
    HubNoHandshake,
    HubNotReading,
    PeerChannelBroken,
    HubRefusedChannel,
    HubChannelBroken,
};

namespace {
// "host:port", with brackets around an IPv6 address.
QString endpointName(const QHostAddress& address, quint16 port) {
    const QString host = address.toString();
    return (address.protocol() == QAbstractSocket::IPv6Protocol ? "[" + host + "]" : host) + ":" + QString::number(port);
}

// The session-full refusal names the limit.
QString fullReason(int maxPeers) { return QString("the session is full (%1 peers)").arg(maxPeers); }
}  // namespace

// The one table of what the link tells the user.
QString CollaborationLink::report(Notice what, const QString& peer, const QString& detail) {
    QString text;
    switch (what) {
    case Notice::PeerJoined: text = "peer " + peer + " joined the session"; break;
    case Notice::PeerLeft: text = "peer " + peer + " left the session"; break;
    case Notice::PeerRefusedWrongKey: text = "peer " + peer + " refused: wrong session key"; break;
    case Notice::PeerRefusedFull: text = "peer " + peer + " refused: " + detail; break;
    case Notice::PeerHandshakeTimeout:
        text = QString("peer %1 dropped: no handshake within %2 s").arg(peer).arg(m_settings.handshakeMs / 1000.0);
        break;
    case Notice::PeerNotReading:
        text = "peer " + peer + " dropped: it does not read what is sent to it (" + detail + " bytes waiting)";
        break;
    case Notice::PeerGarbage: text = "peer " + peer + " dropped: it sent bytes that are not collaboration frames"; break;
    case Notice::ControlReturned: text = "control returned to this host: the peer holding it left"; break;
    case Notice::Joined: text = "joined the collaboration session at " + peer; break;
    case Notice::HubClosed: text = "the collaboration session ended: the hub at " + peer + " closed the connection"; break;
    case Notice::RefusedByHub: text = "refused by the hub at " + peer + ": " + detail; break;
    case Notice::HubNeedsKey:
        text = "the hub at " + peer + " asks for a session key: give one with --collab-key-file FILE or " +
               SessionKey::kEnvironmentVariable;
        break;
    case Notice::HubAsksNoKey:
        text = "the hub at " + peer + " does not ask for the session key this host has: not joining";
        break;
    case Notice::HubUnproven: text = "the hub at " + peer + " did not prove the session key: not joining"; break;
    case Notice::HubGarbage: text = "the hub at " + peer + " sent bytes that are not collaboration frames"; break;
    case Notice::HubNoHandshake:
        text = "the hub at " + peer + " did not open the session in time";
        // A keyed hub speaks only TLS and waits for it: say what to try.
        if (m_settings.key.isEmpty())
            text += QString(" (if it asks for a session key, give one with --collab-key-file FILE or ") +
                    SessionKey::kEnvironmentVariable + ")";
        break;
    case Notice::PeerChannelBroken:
        text = "peer " + peer + " dropped: its secure connection failed (" + detail + ")";
        break;
    case Notice::HubRefusedChannel:
        text = "refused by the hub at " + peer + ": wrong session key, or the hub asks for none (" + detail + ")";
        break;
    case Notice::HubChannelBroken:
        text = "left the session: the secure connection to the hub at " + peer + " failed (" + detail + ")";
        break;
    case Notice::HubNotReading:
        text = "left the session: the hub at " + peer + " does not read what is sent to it (" + detail + " bytes waiting)";
        break;
    }
    if (m_onNotice) m_onNotice(text);
    return text;
}

CollaborationLink::CollaborationLink(DataHandler onData, NoticeHandler onNotice, CollabSettings settings)
    : m_onData(std::move(onData)), m_onNotice(std::move(onNotice)), m_settings(std::move(settings)) {
    m_clock.start();
}

CollaborationLink::~CollaborationLink() {
    for (auto& peer : m_peers)
        if (peer->socket) {
            peer->socket->disconnect(this);
            peer->socket->flush();  // what was said before leaving still goes out
        }
}

bool CollaborationLink::listen(const QHostAddress& address, quint16 port, QString& error) {
    m_server = m_settings.key.isEmpty() ? new QTcpServer(this) : new TlsServer(m_settings.key, this);
    if (!m_server->listen(address, port)) {
        error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) adopt(socket);
    });
    auto* stallCheck = new QTimer(this);
    connect(stallCheck, &QTimer::timeout, this, [this] { dropStalledReaders(); });
    stallCheck->start(std::max(100, m_settings.stallMs / 4));
    m_hasControl = true;
    return true;
}

bool CollaborationLink::connectTo(const QString& host, quint16 port, QString& error) {
    QTcpSocket* socket = nullptr;
    auto encrypted = std::make_shared<bool>(false), heard = std::make_shared<bool>(false);
    if (m_settings.key.isEmpty()) {
        socket = new QTcpSocket(this);
        socket->connectToHost(host, port);
    } else {
        auto* secure = new QSslSocket(this);
        SecureChannel::arm(*secure, m_settings.key);
        connect(secure, &QSslSocket::encrypted, this, [encrypted] { *encrypted = true; });
        secure->connectToHostEncrypted(host, port);
        socket = secure;
    }
    if (!socket->waitForConnected(5000)) {
        const QString where = (host.contains(':') ? "[" + host + "]" : host) + ":" + QString::number(port);
        error = "cannot reach a session at " + where + ": " + socket->errorString();
        delete socket;
        return false;
    }
    connect(socket, &QTcpSocket::readyRead, this, [heard] { *heard = true; });
    Peer* peer = addPeer(socket);
    const QString name = endpointName(socket->peerAddress(), port);
    peer->name = name;
    peer->joinSide = std::make_unique<PeerHandshake>(m_settings.key, SessionKey::newNonce());
    // The hub sends the session's state right behind its last handshake
    // step, often in the same piece, which is read in one go: the small cap
    // guards a hub against strangers, not a joiner against the hub it chose.
    peer->reader.setMaxFrame(kMaxFrameBytes);
    m_joinFailure.clear();
    // The session opens before the host goes on: a refusal ends it here.
    // The event loop runs meanwhile (the hub may be in this process).
    QElapsedTimer clock;
    clock.start();
    const QPointer<QTcpSocket> guard = socket;
    // Entries are forgotten only once their socket is gone: while the guard
    // holds, so does `peer`.
    auto settled = [&] {
        return !guard || peer->inSession || peer->closing || guard->state() != QAbstractSocket::ConnectedState ||
               clock.elapsed() >= m_settings.handshakeMs;
    };
    QEventLoop wait;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &wait, [&] {
        if (settled()) wait.quit();
    });
    tick.start(10);
    if (!settled()) wait.exec();
    if (guard && peer->inSession && !peer->closing) return true;
    // The hub closing a channel that never opened: it did not take our key.
    if (m_joinFailure.isEmpty() && !m_settings.key.isEmpty() && !*encrypted)
        m_joinFailure = report(Notice::HubRefusedChannel, name, "the secure channel could not be opened");
    // Closed before a word of the handshake: as good as no handshake (a
    // keyed hub waits for TLS that a keyless joiner never starts).
    if (m_joinFailure.isEmpty())
        m_joinFailure = report(
            (guard && guard->state() == QAbstractSocket::ConnectedState) || !*heard ? Notice::HubNoHandshake
                                                                                     : Notice::HubClosed,
            name);
    error = m_joinFailure;
    if (guard) {
        peer->closing = true;
        guard->abort();
    }
    return false;
}

void CollaborationLink::leave() {
    for (auto& peer : m_peers)
        if (peer->socket) {
            peer->closing = true;
            peer->socket->flush();
            peer->socket->disconnectFromHost();
        }
    if (m_server) m_server->close();
}

CollaborationLink::Peer* CollaborationLink::addPeer(QTcpSocket* socket) {
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    forgetClosedPeers();
    m_peers.push_back(std::make_unique<Peer>());
    Peer* peer = m_peers.back().get();
    peer->socket = socket;
    // Until the handshake is done, a frame is a few dozen bytes.
    peer->reader.setMaxFrame(kMaxHandshakeFrameBytes);
    // Unread bytes stay with the system, not in this process: a sender the
    // hub holds back is held back by its own connection.
    socket->setReadBufferSize(1024 * 1024);
    peer->progressAtMs = m_clock.elapsed();
    connect(socket, &QTcpSocket::readyRead, this, [this, peer] { readFrom(*peer); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, peer] {
        peer->progressAtMs = m_clock.elapsed();
        if (isHub()) releaseHeldSenders();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, peer] { peerGone(*peer); });
    if (auto* secure = qobject_cast<QSslSocket*>(socket))
        connect(secure, &QAbstractSocket::errorOccurred, this,
                [this, peer](QAbstractSocket::SocketError error) { secureChannelFailed(*peer, error); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    return peer;
}

void CollaborationLink::adopt(QTcpSocket* socket) {
    const QString name = endpointName(socket->peerAddress(), socket->peerPort());
    makeRoomForPending(socket->peerAddress());
    Peer* peer = addPeer(socket);
    peer->name = name;
    peer->address = socket->peerAddress();
    peer->hubSide = std::make_unique<HubHandshake>(m_settings.key, SessionKey::newNonce());
    socket->write(encodeFrame(peer->hubSide->challenge()));
    // A stranger that never answers does not hold a place for long.
    const QPointer<QTcpSocket> guard = socket;
    QTimer::singleShot(m_settings.handshakeMs, socket, [this, peer, guard] {
        if (guard && !peer->inSession && !peer->closing) drop(*peer, Notice::PeerHandshakeTimeout);
    });
}

void CollaborationLink::makeRoomForPending(const QHostAddress& address) {
    // Oldest first (entries are in the order they came), silent ones before
    // those whose answer is on its way.
    auto evictOne = [&](bool sameAddressOnly) {
        for (const bool silentOnly : {true, false})
            for (auto& peer : m_peers)
                if (peer->socket && peer->hubSide && !peer->inSession && !peer->closing &&
                    (!sameAddressOnly || peer->address == address) && (!silentOnly || !peer->heard)) {
                    peer->closing = true;
                    peer->socket->abort();
                    return;
                }
    };
    auto pending = [&](bool sameAddressOnly) {
        int n = 0;
        for (const auto& peer : m_peers)
            n += peer->socket && peer->hubSide && !peer->inSession && !peer->closing &&
                 (!sameAddressOnly || peer->address == address);
        return n;
    };
    while (pending(true) >= m_settings.maxPendingPerAddress) evictOne(true);
    while (pending(false) >= m_settings.maxPending) evictOne(false);
}

int CollaborationLink::sessionCount() const {
    int n = 0;
    for (const auto& peer : m_peers) n += peer->socket && peer->inSession && !peer->closing ? 1 : 0;
    return n;
}

int CollaborationLink::peerCount() const {
    int n = 0;
    for (const auto& peer : m_peers)
        n += peer->socket && peer->inSession && !peer->closing &&
                     peer->socket->state() == QAbstractSocket::ConnectedState
                 ? 1
                 : 0;
    return n;
}

void CollaborationLink::forgetClosedPeers() {
    // Only entries whose socket is gone: their handlers went with it.
    m_peers.erase(std::remove_if(m_peers.begin(), m_peers.end(), [](const auto& p) { return !p->socket; }), m_peers.end());
}

void CollaborationLink::readFrom(Peer& from) {
    // The handler below may run a nested event loop in which this peer goes
    // away: only the guarded socket is looked at after it.
    const QPointer<QTcpSocket> socket = from.socket;
    if (!socket || from.closing) return;
    if (isHub() && from.inSession && (from.held || relayBacklogged())) {
        from.held = true;
        return;
    }
    std::vector<CollabFrame> frames;
    const QByteArray bytes = socket->readAll();
    from.heard = from.heard || !bytes.isEmpty();
    const bool sound = from.reader.feed(bytes, frames);
    for (const CollabFrame& frame : frames) {
        if (!socket || from.closing) return;
        if (!from.inSession) {
            if (!handshakeStep(from, frame)) return;
            continue;
        }
        if (frame.kind == CollabFrame::Control) {
            m_hasControl = true;
            m_tokenHolder = nullptr;
        } else if (frame.kind == CollabFrame::Data) {
            takeData(from, frame);
        } else if (frame.kind == CollabFrame::StateRequest && isHub()) {
            sendMergedState(from);
        } else {
            drop(from, isHub() ? Notice::PeerGarbage : Notice::HubGarbage);  // a handshake step out of turn
            return;
        }
    }
    // A peer that sends garbage is dropped, the others stay.
    if (!sound && socket && !from.closing) drop(from, isHub() ? Notice::PeerGarbage : Notice::HubGarbage);
    if (isHub() && socket && !from.closing && from.inSession) spendFrames(from, int(frames.size()));
}

void CollaborationLink::secureChannelFailed(Peer& peer, QAbstractSocket::SocketError error) {
    if (peer.closing || !peer.socket || error == QAbstractSocket::RemoteHostClosedError) return;
    const QString why = peer.socket->errorString();
    // A handshake that fails is a key that differs (or no TLS at all on the
    // other side); a failure later is a connection changed on the way.
    if (error == QAbstractSocket::SslHandshakeFailedError && !peer.inSession) {
        if (isHub()) {
            peer.closing = true;
            report(Notice::PeerRefusedWrongKey, peer.name);
            peer.socket->abort();
        } else {
            drop(peer, Notice::HubRefusedChannel, why);
        }
        return;
    }
    drop(peer, isHub() ? Notice::PeerChannelBroken : Notice::HubChannelBroken, why);
}

bool CollaborationLink::relayBacklogged() const {
    for (const auto& peer : m_peers)
        if (peer->socket && peer->inSession && !peer->closing &&
            peer->socket->bytesToWrite() > m_settings.relayHighWaterBytes)
            return true;
    return false;
}

void CollaborationLink::releaseHeldSenders() {
    if (relayBacklogged()) return;
    for (auto& peer : m_peers) {
        if (!peer->held || !peer->socket || peer->closing) continue;
        if (peer->frameTokens < 0) continue;  // its own rate, not the readers, holds it
        peer->held = false;
        // What arrived meanwhile is waiting; no new signal would say so.
        if (peer->socket->bytesAvailable() > 0) readFrom(*peer);
        if (relayBacklogged()) return;
    }
}

bool CollaborationLink::spendFrames(Peer& from, int frames) {
    const qint64 now = m_clock.elapsed();
    const double rate = m_settings.maxFramesPerSecond;
    if (from.tokensAtMs < 0) from.frameTokens = rate;
    else from.frameTokens = std::min(rate, from.frameTokens + (now - from.tokensAtMs) * rate / 1000.0);
    from.tokensAtMs = now;
    from.frameTokens -= frames;
    if (from.frameTokens >= 0) return true;
    // Over its rate: not read again until the allowance is back above zero.
    from.held = true;
    const int waitMs = int(-from.frameTokens * 1000.0 / rate) + 1;
    const QPointer<QTcpSocket> guard = from.socket;
    Peer* sender = &from;
    QTimer::singleShot(waitMs, this, [this, guard, sender] {
        if (!guard || sender->closing) return;
        sender->frameTokens = std::max(sender->frameTokens, 0.0);
        releaseHeldSenders();
    });
    return false;
}

void CollaborationLink::dropStalledReaders() {
    const qint64 now = m_clock.elapsed();
    for (auto& peer : m_peers)
        if (peer->socket && peer->inSession && !peer->closing &&
            peer->socket->bytesToWrite() > m_settings.relayHighWaterBytes &&
            now - peer->progressAtMs > m_settings.stallMs)
            drop(*peer, Notice::PeerNotReading, QString::number(peer->socket->bytesToWrite()));
    releaseHeldSenders();
}

bool CollaborationLink::handshakeStep(Peer& peer, const CollabFrame& frame) {
    if (peer.hubSide) {
        const HubHandshake::Outcome outcome = peer.hubSide->take(frame);
        switch (outcome.step) {
        case HubHandshake::Step::Accepted: {
            // Places in the session go to peers that opened it, not to
            // connections that merely arrived.
            if (sessionCount() >= m_settings.maxPeers) {
                const QString reason = fullReason(m_settings.maxPeers);
                peer.socket->write(encodeFrame(CollabFrame{CollabFrame::Refused, {}, 0, reason.toUtf8()}));
                peer.closing = true;
                report(Notice::PeerRefusedFull, peer.name, reason);
                peer.socket->disconnectFromHost();  // after the refusal is out
                return false;
            }
            writeTo(peer, encodeFrame(outcome.reply));
            enterSession(peer);
            return true;
        }
        case HubHandshake::Step::WrongKey:
            peer.socket->write(encodeFrame(outcome.reply));
            peer.closing = true;
            report(Notice::PeerRefusedWrongKey, peer.name);
            peer.socket->disconnectFromHost();  // after the refusal is out
            return false;
        case HubHandshake::Step::Waiting: return true;
        case HubHandshake::Step::Malformed: break;
        }
        drop(peer, Notice::PeerGarbage);
        return false;
    }
    const PeerHandshake::Outcome outcome = peer.joinSide->take(frame);
    if (outcome.hasReply) writeTo(peer, encodeFrame(outcome.reply));
    switch (outcome.step) {
    case PeerHandshake::Step::Waiting: return true;
    case PeerHandshake::Step::Open: enterSession(peer); return true;
    case PeerHandshake::Step::Refused: drop(peer, Notice::RefusedByHub, QString::fromLatin1(outcome.reason)); break;
    case PeerHandshake::Step::HubNeedsKey: drop(peer, Notice::HubNeedsKey); break;
    case PeerHandshake::Step::HubAsksNoKey: drop(peer, Notice::HubAsksNoKey); break;
    case PeerHandshake::Step::HubUnproven: drop(peer, Notice::HubUnproven); break;
    case PeerHandshake::Step::Malformed: drop(peer, Notice::HubGarbage); break;
    }
    return false;
}

void CollaborationLink::enterSession(Peer& peer) {
    peer.inSession = true;
    peer.reader.setMaxFrame(kMaxFrameBytes);
    report(isHub() ? Notice::PeerJoined : Notice::Joined, peer.name);
    if (isHub() && m_greeting) {
        const QByteArray greeting = m_greeting();
        if (!greeting.isEmpty()) writeTo(peer, encodeFrame(CollabFrame{CollabFrame::Data, kGreetingStream, 0, greeting}));
    }
    // Late joiners get the latest state of every stream.
    if (isHub()) sendMergedState(peer);
}

void CollaborationLink::sendMergedState(Peer& peer) {
    for (const auto& [key, state] : m_state.streams()) {
        if (state.empty()) continue;
        const std::string text = state.text();
        CollabFrame frame{CollabFrame::Data, key.first, key.second, QByteArray(text.data(), qsizetype(text.size()))};
        if (!writeTo(peer, encodeFrame(frame))) return;
    }
}

void CollaborationLink::takeData(Peer& from, const CollabFrame& frame) {
    const QPointer<QTcpSocket> socket = from.socket;
    if (isHub()) {
        // The hub passes what one peer says on to the others.
        const QByteArray framed = encodeFrame(frame);
        for (auto& peer : m_peers)
            if (peer.get() != &from && peer->socket && peer->inSession && !peer->closing) writeTo(*peer, framed);
        m_state.take(frame.pluginId, frame.cellIndex, std::string_view(frame.payload.constData(), size_t(frame.payload.size())));
    }
    if (m_onData && socket) m_onData(frame);
}

bool CollaborationLink::writeTo(Peer& peer, const QByteArray& bytes) {
    if (!peer.socket || peer.closing) return false;
    const qint64 waiting = peer.socket->bytesToWrite();
    if (waiting > m_settings.maxUnsentBytes) {
        drop(peer, isHub() ? Notice::PeerNotReading : Notice::HubNotReading, QString::number(waiting));
        return false;
    }
    peer.socket->write(bytes);
    return true;
}

void CollaborationLink::drop(Peer& peer, Notice why, const QString& detail) {
    peer.closing = true;
    const QString text = report(why, peer.name, detail);
    if (peer.joinSide && !peer.inSession) m_joinFailure = text;
    if (peer.socket) peer.socket->abort();
    if (m_tokenHolder == &peer) {
        m_tokenHolder = nullptr;
        m_hasControl = true;
        report(Notice::ControlReturned, peer.name);
    }
}

void CollaborationLink::peerGone(Peer& peer) {
    if (!peer.closing) {
        peer.closing = true;
        if (peer.inSession) report(isHub() ? Notice::PeerLeft : Notice::HubClosed, peer.name);
    }
    if (m_tokenHolder == &peer) {
        m_tokenHolder = nullptr;
        m_hasControl = true;
        report(Notice::ControlReturned, peer.name);
    }
}

QString CollaborationLink::driver() const {
    if (m_hasControl) return QString();
    if (isHub() && m_tokenHolder) return "peer " + m_tokenHolder->name;
    return "another host";
}

bool CollaborationLink::passControl() {
    if (!m_hasControl) return false;
    for (auto& peer : m_peers)
        if (peer->socket && peer->inSession && !peer->closing &&
            peer->socket->state() == QAbstractSocket::ConnectedState) {
            CollabFrame token;
            token.kind = CollabFrame::Control;
            if (!writeTo(*peer, encodeFrame(token))) continue;
            peer->socket->flush();
            m_hasControl = false;
            if (isHub()) m_tokenHolder = peer.get();
            return true;
        }
    return false;
}

bool CollaborationLink::requestState() {
    if (isHub()) return false;
    CollabFrame request;
    request.kind = CollabFrame::StateRequest;
    bool asked = false;
    for (auto& peer : m_peers)
        if (peer->socket && peer->inSession && !peer->closing) asked = writeTo(*peer, encodeFrame(request)) || asked;
    return asked;
}

int CollaborationLink::send(const std::string& pluginId, int cellIndex, const QByteArray& bytes) {
    const CollabFrame frame{CollabFrame::Data, pluginId, cellIndex, bytes};
    if (isHub())
        m_state.take(pluginId, cellIndex, std::string_view(bytes.constData(), size_t(bytes.size())));
    const QByteArray framed = encodeFrame(frame);
    int reached = 0;
    for (auto& peer : m_peers)
        if (peer->socket && peer->inSession && !peer->closing &&
            peer->socket->state() == QAbstractSocket::ConnectedState && writeTo(*peer, framed))
            ++reached;
    return reached;
}

}  // namespace quarvia
