#include "CollaborationLink.h"

#include <QDataStream>
#include <QHostAddress>

#include <algorithm>

namespace quarvia {

namespace {
constexpr quint32 kMaxFrame = 64u * 1024u * 1024u;  // far beyond any state text
}  // namespace

QByteArray encodeFrame(const CollabFrame& frame) {
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << quint8(frame.kind) << qint32(frame.cellIndex) << QByteArray::fromStdString(frame.pluginId) << frame.payload;
    QByteArray framed;
    QDataStream head(&framed, QIODevice::WriteOnly);
    head << quint32(body.size());
    return framed + body;
}

bool FrameReader::feed(const QByteArray& bytes, std::vector<CollabFrame>& frames) {
    m_buffer.append(bytes);
    const char* data = m_buffer.constData();
    const qsizetype size = m_buffer.size();
    qsizetype at = 0;
    bool sound = true;
    while (size - at >= 4) {
        const auto* head = reinterpret_cast<const uchar*>(data + at);
        const quint32 length = quint32(head[0]) << 24 | quint32(head[1]) << 16 | quint32(head[2]) << 8 | quint32(head[3]);
        if (length > kMaxFrame) {
            sound = false;
            break;
        }
        if (size - at - 4 < qsizetype(length)) break;
        // Read in place: the body is not copied before it is decoded.
        QDataStream in(QByteArray::fromRawData(data + at + 4, qsizetype(length)));
        quint8 kind = 0;
        qint32 cell = 0;
        QByteArray id, payload;
        in >> kind >> cell >> id >> payload;
        if (in.status() != QDataStream::Ok || (kind != CollabFrame::Data && kind != CollabFrame::Control)) {
            sound = false;
            break;
        }
        frames.push_back({static_cast<CollabFrame::Kind>(kind), id.toStdString(), cell, payload});
        at += 4 + qsizetype(length);
    }
    if (at > 0) {
        m_moved += size - at;
        m_buffer.remove(0, at);
    }
    return sound;
}

CollaborationLink::CollaborationLink(DataHandler onData) : m_onData(std::move(onData)) {}

CollaborationLink::~CollaborationLink() {
    for (auto& peer : m_peers)
        if (peer->socket) peer->socket->disconnect(this);
}

bool CollaborationLink::listen(quint16 port, QString& error) {
    m_server = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        error = m_server->errorString();
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) adopt(socket);
    });
    m_hasControl = true;
    return true;
}

bool CollaborationLink::connectTo(const QString& host, quint16 port, QString& error) {
    auto* socket = new QTcpSocket(this);
    socket->connectToHost(host, port);
    if (!socket->waitForConnected(5000)) {
        error = socket->errorString();
        delete socket;
        return false;
    }
    adopt(socket);
    return true;
}

void CollaborationLink::adopt(QTcpSocket* socket) {
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Peers that left make room for the new one.
    m_peers.erase(std::remove_if(m_peers.begin(), m_peers.end(), [](const auto& p) { return !p->socket; }), m_peers.end());
    m_peers.push_back(std::make_unique<Peer>());
    Peer* peer = m_peers.back().get();
    peer->socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this, peer] { readFrom(*peer); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

int CollaborationLink::peerCount() const {
    int n = 0;
    for (const auto& peer : m_peers) n += peer->socket && peer->socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return n;
}

void CollaborationLink::readFrom(Peer& from) {
    // The handler below may run a nested event loop in which this peer goes
    // away: only the guarded socket is looked at after it.
    const QPointer<QTcpSocket> socket = from.socket;
    if (!socket) return;
    std::vector<CollabFrame> frames;
    const bool sound = from.reader.feed(socket->readAll(), frames);
    for (const CollabFrame& frame : frames) {
        if (frame.kind == CollabFrame::Control) {
            m_hasControl = true;
            continue;
        }
        // The hub passes what one peer says on to the others.
        if (m_server)
            for (auto& peer : m_peers)
                if (peer->socket && peer->socket != socket) peer->socket->write(encodeFrame(frame));
        if (m_onData) m_onData(frame);
    }
    if (!sound && socket) socket->abort();  // a peer that sends garbage is dropped, the others stay
}

bool CollaborationLink::passControl() {
    if (!m_hasControl) return false;
    for (auto& peer : m_peers)
        if (peer->socket && peer->socket->state() == QAbstractSocket::ConnectedState) {
            CollabFrame token;
            token.kind = CollabFrame::Control;
            peer->socket->write(encodeFrame(token));
            peer->socket->flush();
            m_hasControl = false;
            return true;
        }
    return false;
}

int CollaborationLink::send(const std::string& pluginId, int cellIndex, const QByteArray& bytes) {
    const QByteArray framed = encodeFrame({CollabFrame::Data, pluginId, cellIndex, bytes});
    int reached = 0;
    for (auto& peer : m_peers)
        if (peer->socket && peer->socket->state() == QAbstractSocket::ConnectedState) {
            peer->socket->write(framed);
            ++reached;
        }
    return reached;
}

}  // namespace quarvia
