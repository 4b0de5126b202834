#pragma once

#include "QVHostApi.h"

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvia {

// One frame of the link: a plug-in's bytes for the window in a cell, the
// control token, or a step of the handshake that opens a session.
struct CollabFrame {
    enum Kind : uint8_t {
        Data = 1,       // a plug-in's bytes
        Control = 2,    // the control token changes hands
        Challenge = 3,  // hub to peer: a fresh nonce (empty: no session key)
        Answer = 4,     // peer to hub: its proof and its own nonce
        Welcome = 5,    // hub to peer: the hub's proof; the session is open
        Refused = 6,    // hub to peer: why it is turned away (payload is the reason)
        StateRequest = 7,  // peer to hub: send me the merged state again
    };
    Kind kind = Data;
    std::string pluginId;
    int cellIndex = 0;
    QByteArray payload;
};

// Largest frame a peer may send once it is in the session, and before that:
// a handshake step is a few dozen bytes, so a stranger cannot make the hub
// hold megabytes.
constexpr quint32 kMaxFrameBytes = 16u * 1024u * 1024u;
constexpr quint32 kMaxHandshakeFrameBytes = 512u;
static_assert(kMaxFrameBytes > QV_MAX_COLLABORATION_MESSAGE_BYTES, "a frame carries a whole message");

// Encodes a frame: length-prefixed, so that the stream never merges or
// splits messages.
QByteArray encodeFrame(const CollabFrame& frame);

// Cuts one peer's byte stream into frames, whatever pieces the bytes arrive
// in. Whole frames are read where they lie in a piece; a frame cut by the
// end of a piece is kept in room made for all of it once its length is
// known, and only its own bytes are kept, so every byte is copied at most
// once however the stream is cut.
class FrameReader {
public:
    // Appends the bytes and takes every whole frame off the stream. False
    // when the bytes cannot be a frame stream (the peer is then dropped).
    bool feed(const QByteArray& bytes, std::vector<CollabFrame>& frames);
    // Frames longer than this are refused (the handshake asks for less).
    void setMaxFrame(quint32 bytes) { m_maxFrame = bytes; }
    // Bytes of an incomplete frame waiting for the rest.
    qsizetype pending() const { return m_buffer.size(); }
    // Bytes copied inside the buffer (growing it): the work done besides
    // reading frames.
    qint64 bytesMoved() const { return m_moved; }

private:
    bool takeFrame(const char* data, quint32 length, std::vector<CollabFrame>& frames);

    QByteArray m_buffer;  // the start of the one frame not yet whole
    qint64 m_moved = 0;
    quint32 m_maxFrame = kMaxFrameBytes;
};

}  // namespace quarvia
