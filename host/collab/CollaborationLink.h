#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarvia {

// One frame of the link: a plug-in's bytes for the window in a cell, or the
// control token.
struct CollabFrame {
    enum Kind : uint8_t { Data = 1, Control = 2 };
    Kind kind = Data;
    std::string pluginId;
    int cellIndex = 0;
    QByteArray payload;
};

// Encodes a frame: length-prefixed, so that the stream never merges or
// splits messages.
QByteArray encodeFrame(const CollabFrame& frame);

// Cuts one peer's byte stream into frames, whatever pieces the bytes arrive
// in. Frames are read where they lie and the used bytes are dropped once per
// piece, so a piece holding many small frames costs time linear in its size.
class FrameReader {
public:
    // Appends the bytes and takes every whole frame off the stream. False
    // when the bytes cannot be a frame stream (the peer is then dropped).
    bool feed(const QByteArray& bytes, std::vector<CollabFrame>& frames);
    // Bytes of an incomplete frame waiting for the rest.
    qsizetype pending() const { return m_buffer.size(); }
    // Bytes shifted to drop used ones: the work done besides reading frames.
    qint64 bytesMoved() const { return m_moved; }

private:
    QByteArray m_buffer;
    qint64 m_moved = 0;
};

// The collaboration session between host processes over TCP. The listening
// host is the hub: it relays what one peer sends to the others. It starts
// with the control token.
class CollaborationLink : public QObject {
    Q_OBJECT
public:
    using DataHandler = std::function<void(const CollabFrame&)>;

    explicit CollaborationLink(DataHandler onData);
    ~CollaborationLink() override;

    bool listen(quint16 port, QString& error);
    bool connectTo(const QString& host, quint16 port, QString& error);
    quint16 port() const { return m_server ? m_server->serverPort() : 0; }

    bool hasControl() const { return m_hasControl; }
    // Hands the token to a peer; false when this host does not hold it or
    // has nobody to give it to.
    bool passControl();
    // Sends to every peer; the number of peers reached.
    int send(const std::string& pluginId, int cellIndex, const QByteArray& bytes);
    int peerCount() const;

private:
    struct Peer {
        QPointer<QTcpSocket> socket;
        FrameReader reader;
    };

    void adopt(QTcpSocket* socket);
    void readFrom(Peer& peer);

    DataHandler m_onData;
    QTcpServer* m_server = nullptr;
    // Stable addresses: a peer's read handler holds on to its entry.
    std::vector<std::unique_ptr<Peer>> m_peers;
    bool m_hasControl = false;
};

}  // namespace quarvia
