#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
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
// Takes whole frames off the front of `buffer`. False when the bytes cannot
// be a frame stream (the peer is then dropped).
bool takeFrames(QByteArray& buffer, std::vector<CollabFrame>& frames);

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
    void adopt(QTcpSocket* socket);
    void readFrom(QTcpSocket* socket);

    DataHandler m_onData;
    QTcpServer* m_server = nullptr;
    std::vector<QPointer<QTcpSocket>> m_peers;
    bool m_hasControl = false;
};

}  // namespace quarvia
