// Fuzzes the opening of a session from the side of an attacker who does not
// know the key: the input is the attacker's byte stream, read by the frame
// reader under the handshake's cap and handed to the hub's or the joining
// peer's handshake. Nothing may crash, the attacker is never admitted nor
// trusted, and a refusal's reason is short and printable.
#include "collab/FrameReader.h"
#include "collab/HubHandshake.h"
#include "collab/PeerHandshake.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void fail(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define check(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

const QByteArray kKey("the session key nobody outside knows");
const QByteArray kNonce(32, '\x5a');

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte: which side is attacked, whether it has a key, and the
    // size of the pieces the stream arrives in.
    const bool attackHub = data[0] & 1;
    const bool withKey = data[0] & 2;
    const qsizetype piece = 1 + (data[0] >> 2);
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    quarvia::FrameReader reader;
    reader.setMaxFrame(quarvia::kMaxHandshakeFrameBytes);
    quarvia::HubHandshake hub(withKey ? kKey : QByteArray(), kNonce);
    quarvia::PeerHandshake peer(withKey ? kKey : QByteArray(), kNonce);
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        std::vector<quarvia::CollabFrame> frames;
        const bool sound = reader.feed(stream.mid(at, piece), frames);
        check(reader.pending() <= qsizetype(quarvia::kMaxHandshakeFrameBytes) + 4);
        for (const quarvia::CollabFrame& frame : frames) {
            if (attackHub) {
                const quarvia::HubHandshake::Outcome outcome = hub.take(frame);
                check(!withKey || outcome.step != quarvia::HubHandshake::Step::Accepted);
                if (outcome.step != quarvia::HubHandshake::Step::Waiting) return 0;
            } else {
                const quarvia::PeerHandshake::Outcome outcome = peer.take(frame);
                check(!withKey || outcome.step != quarvia::PeerHandshake::Step::Open);
                check(outcome.reason.size() <= 200);
                for (char c : outcome.reason) check(c >= 32 && c < 127);
                if (outcome.hasReply)
                    check(outcome.reply.kind == quarvia::CollabFrame::Answer &&
                          outcome.reply.payload.size() == (withKey ? 64 : 0));
                if (outcome.step != quarvia::PeerHandshake::Step::Waiting) return 0;
            }
        }
        if (!sound) return 0;
    }
    return 0;
}
