#pragma once

#include "FrameReader.h"

namespace quarvia {

// The hub's side of opening a session with one joining peer. With a key,
// the hub sends a fresh nonce and admits the peer only when its answer
// proves the key; it then proves the key back. Without a key the peer still
// answers (with nothing), so that a connection that says nothing never
// holds a place in the session. Plain logic over frames: the link does the sockets.
class HubHandshake {
public:
    enum class Step {
        Waiting,    // the answer has not come yet
        Accepted,   // the peer proved the key (or none is needed)
        WrongKey,   // the peer's proof is wrong
        Malformed,  // the peer sent something that is not an answer
    };
    struct Outcome {
        Step step = Step::Waiting;
        bool hasReply = false;
        CollabFrame reply;  // Welcome when accepted, Refused for a wrong key
    };

    // An empty key asks no proof; `nonce` is the challenge (SessionKey::newNonce).
    HubHandshake(QByteArray key, QByteArray nonce);

    // The first frame to send: the challenge (with an empty nonce when no key is asked).
    CollabFrame challenge() const;
    // One frame from the peer before it is admitted.
    Outcome take(const CollabFrame& frame);

private:
    QByteArray m_key;
    QByteArray m_nonce;
};

}  // namespace quarvia
