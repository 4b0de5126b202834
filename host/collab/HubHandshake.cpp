#include "HubHandshake.h"

#include "SessionKey.h"

#include <utility>

namespace quarvia {

HubHandshake::HubHandshake(QByteArray key, QByteArray nonce) : m_key(std::move(key)), m_nonce(std::move(nonce)) {}

CollabFrame HubHandshake::challenge() const {
    CollabFrame frame;
    frame.kind = CollabFrame::Challenge;
    if (!m_key.isEmpty()) frame.payload = m_nonce;
    return frame;
}

HubHandshake::Outcome HubHandshake::take(const CollabFrame& frame) {
    Outcome outcome;
    if (m_key.isEmpty() && frame.kind == CollabFrame::Answer && frame.payload.isEmpty()) {
        outcome.step = Step::Accepted;
        outcome.hasReply = true;
        outcome.reply.kind = CollabFrame::Welcome;
        return outcome;
    }
    if (m_key.isEmpty() || frame.kind != CollabFrame::Answer ||
        frame.payload.size() != SessionKey::kProofBytes + SessionKey::kNonceBytes) {
        outcome.step = Step::Malformed;
        return outcome;
    }
    const QByteArray proof = frame.payload.left(SessionKey::kProofBytes);
    const QByteArray peerNonce = frame.payload.mid(SessionKey::kProofBytes);
    outcome.hasReply = true;
    if (!SessionKey::sameBytes(proof, SessionKey::peerProof(m_key, m_nonce, peerNonce))) {
        outcome.step = Step::WrongKey;
        outcome.reply.kind = CollabFrame::Refused;
        outcome.reply.payload = "wrong session key";
        return outcome;
    }
    outcome.step = Step::Accepted;
    outcome.reply.kind = CollabFrame::Welcome;
    outcome.reply.payload = SessionKey::hubProof(m_key, m_nonce, peerNonce);
    return outcome;
}

}  // namespace quarvia
