#pragma once

#include <QByteArray>
#include <QString>

namespace quarvia {

// The shared secret of a collaboration session and the proofs made with it.
// Both sides prove the key without sending it: each answers the other's
// fresh nonce with an HMAC-SHA256 that also names its side, so that a proof
// cannot be played back in the other direction.
namespace SessionKey {

constexpr int kNonceBytes = 32;
constexpr int kProofBytes = 32;
// The environment variable a key may come from (never the command line:
// every user of the machine sees it there).
constexpr const char* kEnvironmentVariable = "QUARVIA_COLLAB_KEY";

// The key from a file (its first line; surrounding blanks dropped), else
// from the environment variable; empty when neither names one. False with
// `error` when the file cannot be read or holds no key.
bool load(const QString& keyFile, QByteArray& key, QString& error);

// A fresh random nonce from the system's generator.
QByteArray newNonce();

// The joining peer's proof, and the hub's.
QByteArray peerProof(const QByteArray& key, const QByteArray& hubNonce, const QByteArray& peerNonce);
QByteArray hubProof(const QByteArray& key, const QByteArray& hubNonce, const QByteArray& peerNonce);

// Equal bytes, in a time that does not depend on where they differ.
bool sameBytes(const QByteArray& a, const QByteArray& b);

}  // namespace SessionKey

}  // namespace quarvia
