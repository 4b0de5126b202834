#pragma once

#include "FrameReader.h"

namespace quarvia {

// The joining peer's side of opening a session: it answers the hub's
// challenge with its proof of the key and its own nonce, and trusts the hub
// only when the hub proves the key back. Plain logic over frames.
class PeerHandshake {
public:
    enum class Step {
        Waiting,        // more handshake to come
        Open,           // both sides proved the key (or neither has one)
        HubNeedsKey,    // the hub asks for a key this host does not have
        HubAsksNoKey,   // this host has a key but the hub does not ask for it
        HubUnproven,    // the hub's proof is wrong: not the session we meant
        Refused,        // the hub turned us away (the reason comes with it)
        Malformed,      // the hub sent something out of turn
    };
    struct Outcome {
        Step step = Step::Waiting;
        bool hasReply = false;
        CollabFrame reply;   // the answer to the challenge
        QByteArray reason;   // the hub's words when refused (untrusted, short)
    };

    // An empty key: this host has none. `nonce` from SessionKey::newNonce.
    PeerHandshake(QByteArray key, QByteArray nonce);

    // One frame from the hub before the session is open.
    Outcome take(const CollabFrame& frame);

private:
    QByteArray m_key;
    QByteArray m_nonce;
    QByteArray m_hubNonce;
    bool m_answered = false;
};

}  // namespace quarvia
