#include "PeerHandshake.h"

#include "SessionKey.h"

#include <utility>

namespace quarvia {

namespace {
// A refusal's reason is shown to the user: printable and short.
constexpr int kMaxReason = 200;

QByteArray printable(const QByteArray& text) {
    QByteArray out;
    for (char c : text.left(kMaxReason)) out += (c >= 32 && c < 127) ? c : '?';
    return out;
}
}  // namespace

PeerHandshake::PeerHandshake(QByteArray key, QByteArray nonce) : m_key(std::move(key)), m_nonce(std::move(nonce)) {}

PeerHandshake::Outcome PeerHandshake::take(const CollabFrame& frame) {
    Outcome outcome;
    if (frame.kind == CollabFrame::Refused) {
        outcome.step = Step::Refused;
        outcome.reason = printable(frame.payload);
        return outcome;
    }
    if (!m_answered) {
        if (frame.kind != CollabFrame::Challenge) return (outcome.step = Step::Malformed), outcome;
        if (frame.payload.isEmpty()) {
            if (!m_key.isEmpty()) return (outcome.step = Step::HubAsksNoKey), outcome;
            // No key on either side: an empty answer says this is a peer.
            m_answered = true;
            outcome.hasReply = true;
            outcome.reply.kind = CollabFrame::Answer;
            return outcome;
        }
        if (frame.payload.size() != SessionKey::kNonceBytes) return (outcome.step = Step::Malformed), outcome;
        if (m_key.isEmpty()) return (outcome.step = Step::HubNeedsKey), outcome;
        m_hubNonce = frame.payload;
        m_answered = true;
        outcome.hasReply = true;
        outcome.reply.kind = CollabFrame::Answer;
        outcome.reply.payload = SessionKey::peerProof(m_key, m_hubNonce, m_nonce) + m_nonce;
        return outcome;
    }
    if (frame.kind != CollabFrame::Welcome) return (outcome.step = Step::Malformed), outcome;
    if (m_key.isEmpty()) return (outcome.step = frame.payload.isEmpty() ? Step::Open : Step::Malformed), outcome;
    outcome.step = SessionKey::sameBytes(frame.payload, SessionKey::hubProof(m_key, m_hubNonce, m_nonce))
                       ? Step::Open
                       : Step::HubUnproven;
    return outcome;
}

}  // namespace quarvia
