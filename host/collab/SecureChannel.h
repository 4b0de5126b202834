#pragma once

#include <QByteArray>
#include <QTcpServer>

class QSslSocket;

namespace quarvia {

// A keyed session runs over TLS with a key derived from the session key
// (TLS 1.2, ECDHE-PSK with ChaCha20-Poly1305): every frame is encrypted and
// integrity-protected, and only a side that knows the key completes the
// handshake at all, so a connection relayed through someone who does not
// know it carries nothing they can read or change. Ephemeral key exchange
// keeps past sessions private should the key be learnt later. A keyless
// session stays plain TCP and therefore on loopback.
namespace SecureChannel {

// Makes `socket` speak the keyed session's TLS, as a client or a server.
void arm(QSslSocket& socket, const QByteArray& sessionKey);

}  // namespace SecureChannel

// Accepts connections as TLS server sockets armed with the session key;
// the link adopts them like plain ones (their handshake runs meanwhile,
// within the same time limit).
class TlsServer : public QTcpServer {
public:
    TlsServer(QByteArray sessionKey, QObject* parent);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QByteArray m_key;
};

}  // namespace quarvia
