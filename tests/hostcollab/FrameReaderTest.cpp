// The link's framing: frames come out whole whatever pieces the bytes
// arrive in, bad streams are refused, and the work stays linear.
#include "collab/FrameReader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using quarvia::CollabFrame;
using quarvia::FrameReader;

QByteArray bigPayload(qsizetype size) {
    QByteArray payload(size, '\0');
    for (qsizetype i = 0; i < size; ++i) payload[i] = char((i * 131) >> 3);
    return payload;
}

// A peer on a slow line drips one large frame in small pieces. Copying the
// unread bytes on each arrival costs gigabytes of copying for 4 MB (seconds
// of the UI thread); room for the announced frame is made once instead.
TEST(CollabFraming, FourMegabyteFrameDrippedInKilobytePiecesIsMovedAtMostOnce) {
    const QByteArray payload = bigPayload(4 * 1024 * 1024);
    const QByteArray stream = quarvia::encodeFrame({CollabFrame::Data, "vexel", 2, payload});
    FrameReader reader;
    std::vector<CollabFrame> frames;
    for (qsizetype at = 0; at < stream.size(); at += 1024) ASSERT_TRUE(reader.feed(stream.mid(at, 1024), frames));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload, payload);
    EXPECT_EQ(frames[0].cellIndex, 2);
    EXPECT_EQ(reader.pending(), 0);
    EXPECT_LE(reader.bytesMoved(), stream.size()) << "bytes moved: " << reader.bytesMoved();
    std::printf("4 MB frame in 1 KB pieces: %lld bytes moved\n", static_cast<long long>(reader.bytesMoved()));
}

// Frames one after another, each dripped: the room made for one frame is
// reused, and the bytes of the next are not moved over and over.
TEST(CollabFraming, ManyLargeFramesDrippedStayLinear) {
    QByteArray stream;
    for (int i = 0; i < 8; ++i) stream += quarvia::encodeFrame({CollabFrame::Data, "v", i, bigPayload(300000 + i * 977)});
    for (qsizetype piece : {qsizetype(1), qsizetype(700), qsizetype(4096), qsizetype(100000)}) {
        FrameReader reader;
        std::vector<CollabFrame> frames;
        for (qsizetype at = 0; at < stream.size(); at += piece) ASSERT_TRUE(reader.feed(stream.mid(at, piece), frames));
        ASSERT_EQ(frames.size(), 8u) << "pieces of " << piece;
        for (int i = 0; i < 8; ++i) EXPECT_EQ(frames[size_t(i)].payload, bigPayload(300000 + i * 977));
        EXPECT_LE(reader.bytesMoved(), stream.size()) << "pieces of " << piece;
    }
}

TEST(CollabFraming, FrameLongerThanTheCapIsRefused) {
    QByteArray head(4, '\0');
    const quint32 length = quarvia::kMaxFrameBytes + 1;
    for (int i = 0; i < 4; ++i) head[i] = char(length >> (24 - 8 * i));
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(FrameReader().feed(head, frames));
}

// Before a peer has proved the key, a frame is a handshake step: a stranger
// announcing megabytes is refused before the hub holds them.
TEST(CollabFraming, LargeFrameIsRefusedUnderTheHandshakeCap) {
    const QByteArray stream = quarvia::encodeFrame({CollabFrame::Data, "v", 0, QByteArray(1000, 'x')});
    FrameReader reader;
    reader.setMaxFrame(quarvia::kMaxHandshakeFrameBytes);
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(reader.feed(stream.left(8), frames));
    EXPECT_TRUE(frames.empty());
}

TEST(CollabFraming, BodyWithBytesAfterItsPayloadIsRefused) {
    QByteArray frame = quarvia::encodeFrame({CollabFrame::Data, "v", 0, "abc"});
    frame.append('!');
    const quint32 length = quint32(frame.size() - 4);
    for (int i = 0; i < 4; ++i) frame[i] = char(length >> (24 - 8 * i));
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(FrameReader().feed(frame, frames));
}

TEST(CollabFraming, PayloadLengthBeyondTheFrameIsRefused) {
    QByteArray frame = quarvia::encodeFrame({CollabFrame::Data, "v", 0, "abc"});
    frame[frame.size() - 4] = char(0x7F);  // the payload claims ~2 GB inside a 20-byte frame
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(FrameReader().feed(frame, frames));
    EXPECT_TRUE(frames.empty());
}

TEST(CollabFraming, HandshakeKindsRoundTripAndUnknownKindIsRefused) {
    for (auto kind : {CollabFrame::Challenge, CollabFrame::Answer, CollabFrame::Welcome, CollabFrame::Refused,
                      CollabFrame::StateRequest}) {
        std::vector<CollabFrame> frames;
        ASSERT_TRUE(FrameReader().feed(quarvia::encodeFrame({kind, "", 0, "nonce"}), frames));
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].kind, kind);
        EXPECT_EQ(frames[0].payload, "nonce");
    }
    QByteArray unknown = quarvia::encodeFrame({CollabFrame::Data, "", 0, ""});
    unknown[4] = 8;
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(FrameReader().feed(unknown, frames));
}

}  // namespace
