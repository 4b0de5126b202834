#include "CollaborationLink.h"

#include <QDataStream>
#include <QHostAddress>

namespace quarvia {

namespace {
constexpr quint32 kMaxFrame = 64u * 1024u * 1024u;  // far beyond any state text
const char* const kBufferProperty = "quarviaBuffer";
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

bool takeFrames(QByteArray& buffer, std::vector<CollabFrame>& frames) {
    while (buffer.size() >= 4) {
        QDataStream head(buffer);
        quint32 length = 0;
        head >> length;
        if (length > kMaxFrame) return false;
        if (buffer.size() < qsizetype(4 + length)) return true;
        QDataStream in(buffer.mid(4, length));
        quint8 kind = 0;
        qint32 cell = 0;
        QByteArray id, payload;
        in >> kind >> cell >> id >> payload;
        if (in.status() != QDataStream::Ok || (kind != CollabFrame::Data && kind != CollabFrame::Control)) return false;
        frames.push_back({static_cast<CollabFrame::Kind>(kind), id.toStdString(), cell, payload});
        buffer.remove(0, 4 + length);
    }
    return true;
}

CollaborationLink::CollaborationLink(DataHandler onData) : m_onData(std::move(onData)) {}

CollaborationLink::~CollaborationLink() {
    for (auto& peer : m_peers)
        if (peer) peer->disconnect(this);
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
    m_peers.emplace_back(socket);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

int CollaborationLink::peerCount() const {
    int n = 0;
    for (const auto& peer : m_peers) n += peer && peer->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return n;
}

void CollaborationLink::readFrom(QTcpSocket* socket) {
    QByteArray buffer = socket->property(kBufferProperty).toByteArray() + socket->readAll();
    std::vector<CollabFrame> frames;
    const bool sound = takeFrames(buffer, frames);
    socket->setProperty(kBufferProperty, buffer);
    for (const CollabFrame& frame : frames) {
        if (frame.kind == CollabFrame::Control) {
            m_hasControl = true;
            continue;
        }
        // The hub passes what one peer says on to the others.
        if (m_server)
            for (auto& peer : m_peers)
                if (peer && peer != socket) peer->write(encodeFrame(frame));
        if (m_onData) m_onData(frame);
    }
    if (!sound) socket->abort();  // a peer that sends garbage is dropped, the others stay
}

bool CollaborationLink::passControl() {
    if (!m_hasControl) return false;
    for (auto& peer : m_peers)
        if (peer && peer->state() == QAbstractSocket::ConnectedState) {
            CollabFrame token;
            token.kind = CollabFrame::Control;
            peer->write(encodeFrame(token));
            peer->flush();
            m_hasControl = false;
            return true;
        }
    return false;
}

int CollaborationLink::send(const std::string& pluginId, int cellIndex, const QByteArray& bytes) {
    const QByteArray framed = encodeFrame({CollabFrame::Data, pluginId, cellIndex, bytes});
    int reached = 0;
    for (auto& peer : m_peers)
        if (peer && peer->state() == QAbstractSocket::ConnectedState) {
            peer->write(framed);
            ++reached;
        }
    return reached;
}

}  // namespace quarvia
