#include "SessionKey.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

namespace quarvia {
namespace SessionKey {

namespace {
// Names the side that made a proof: the same key and nonces give different
// proofs for the peer and for the hub.
constexpr char kPeerLabel[] = "collaboration peer proof";
constexpr char kHubLabel[] = "collaboration hub proof";
constexpr qint64 kMaxKeyFileBytes = 4096;

QByteArray proof(const QByteArray& key, const char* label, const QByteArray& first, const QByteArray& second) {
    QMessageAuthenticationCode code(QCryptographicHash::Sha256, key);
    code.addData(QByteArray(label, qsizetype(qstrlen(label)) + 1));  // the zero ends the label
    code.addData(first);
    code.addData(second);
    return code.result();
}
}  // namespace

bool load(const QString& keyFile, QByteArray& key, QString& error) {
    key.clear();
    if (keyFile.isEmpty()) {
        key = qgetenv(kEnvironmentVariable).trimmed();
        return true;
    }
    QFile file(keyFile);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read the session key file " + keyFile + ": " + file.errorString();
        return false;
    }
    const QByteArray text = file.read(kMaxKeyFileBytes);
    key = text.left(text.indexOf('\n') < 0 ? text.size() : text.indexOf('\n')).trimmed();
    if (key.isEmpty()) {
        error = "the session key file " + keyFile + " holds no key";
        return false;
    }
    return true;
}

QByteArray newNonce() {
    QByteArray nonce(kNonceBytes, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(nonce.data()),
                                         reinterpret_cast<quint32*>(nonce.data() + nonce.size()));
    return nonce;
}

QByteArray peerProof(const QByteArray& key, const QByteArray& hubNonce, const QByteArray& peerNonce) {
    return proof(key, kPeerLabel, hubNonce, peerNonce);
}

QByteArray hubProof(const QByteArray& key, const QByteArray& hubNonce, const QByteArray& peerNonce) {
    return proof(key, kHubLabel, peerNonce, hubNonce);
}

bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

}  // namespace SessionKey
}  // namespace quarvia
