#include "SecureChannel.h"

#include <QMessageAuthenticationCode>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslPreSharedKeyAuthenticator>
#include <QSslSocket>

namespace quarvia {

namespace {

constexpr char kIdentity[] = "quarvia collaboration";
constexpr char kCipher[] = "ECDHE-PSK-CHACHA20-POLY1305";

// The TLS key is not the session key itself: a separate derivation keeps
// the two uses of the secret apart.
QByteArray tlsKey(const QByteArray& sessionKey) {
    return QMessageAuthenticationCode::hash("quarvia collaboration TLS pre-shared key", sessionKey,
                                            QCryptographicHash::Sha256);
}

}  // namespace

void SecureChannel::arm(QSslSocket& socket, const QByteArray& sessionKey) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2);
    configuration.setCiphers({QSslCipher(QString::fromLatin1(kCipher))});
    // The key authenticates both sides; there are no certificates.
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setPreSharedKeyIdentityHint(kIdentity);
    socket.setSslConfiguration(configuration);
    const QByteArray key = tlsKey(sessionKey);
    QObject::connect(&socket, &QSslSocket::preSharedKeyAuthenticationRequired, &socket,
                     [key](QSslPreSharedKeyAuthenticator* authenticator) {
                         authenticator->setIdentity(kIdentity);
                         authenticator->setPreSharedKey(key);
                     });
}

TlsServer::TlsServer(QByteArray sessionKey, QObject* parent) : QTcpServer(parent), m_key(std::move(sessionKey)) {}

void TlsServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    SecureChannel::arm(*socket, m_key);
    socket->startServerEncryption();
    addPendingConnection(socket);
}

}  // namespace quarvia
