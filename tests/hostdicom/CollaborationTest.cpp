// The collaboration link on loopback: framing and delivery between links.
#include "collab/CollaborationLink.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>
#include <vector>

namespace {

using quarvia::CollabFrame;
using quarvia::CollaborationLink;

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(CollabFraming, ByteByByteArrivalNeverMergesOrSplits) {
    QByteArray stream;
    for (int i = 0; i < 3; ++i)
        stream += quarvia::encodeFrame({CollabFrame::Data, "Orlinex Quarvia Vexel 3D demo", i, QByteArray(i * 100 + 1, char('a' + i))});
    quarvia::FrameReader reader;
    std::vector<CollabFrame> frames;
    for (char c : stream) ASSERT_TRUE(reader.feed(QByteArray(1, c), frames));
    ASSERT_EQ(frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[size_t(i)].cellIndex, i);
        EXPECT_EQ(frames[size_t(i)].payload, QByteArray(i * 100 + 1, char('a' + i)));
    }
    EXPECT_EQ(reader.pending(), 0);
}

TEST(CollabFraming, GarbageIsRefused) {
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(quarvia::FrameReader().feed(QByteArray("\xFF\xFF\xFF\xFF", 4), frames));
    QByteArray badKind = quarvia::encodeFrame({CollabFrame::Data, "x", 0, "y"});
    badKind[4] = 9;
    EXPECT_FALSE(quarvia::FrameReader().feed(badKind, frames));
    EXPECT_TRUE(frames.empty());
}

// A peer can send megabytes of tiny frames in one read. Dropping each frame
// from the front of the buffer moved the rest every time (a frozen host for
// seconds); the work besides reading frames must stay below the bytes read.
TEST(CollabFraming, FourMegabytesOfSmallFramesCostLinearWork) {
    const QByteArray one = quarvia::encodeFrame({CollabFrame::Data, "v", 0, "J_x 1\n"});
    const int count = int(4 * 1024 * 1024 / one.size());
    QByteArray stream;
    stream.reserve(qsizetype(count) * one.size());
    for (int i = 0; i < count; ++i) stream += one;
    for (qsizetype piece : {stream.size(), qsizetype(65536), qsizetype(1000)}) {
        quarvia::FrameReader reader;
        std::vector<CollabFrame> frames;
        for (qsizetype at = 0; at < stream.size(); at += piece) ASSERT_TRUE(reader.feed(stream.mid(at, piece), frames));
        EXPECT_EQ(frames.size(), size_t(count)) << "pieces of " << piece;
        EXPECT_LE(reader.bytesMoved(), stream.size()) << "pieces of " << piece;
        EXPECT_EQ(reader.pending(), 0);
    }
}

TEST(CollabLink, MessagesArriveInOrderAndIntactAndControlPasses) {
    std::vector<CollabFrame> atHub, atA, atB;
    CollaborationLink hub([&](const CollabFrame& f) { atHub.push_back(f); });
    QString error;
    ASSERT_TRUE(hub.listen(0, error)) << error.toStdString();
    auto a = std::make_unique<CollaborationLink>([&](const CollabFrame& f) { atA.push_back(f); });
    CollaborationLink b([&](const CollabFrame& f) { atB.push_back(f); });
    ASSERT_TRUE(a->connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    ASSERT_TRUE(b.connectTo("127.0.0.1", hub.port(), error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return hub.peerCount() == 2; }));
    EXPECT_TRUE(hub.hasControl());
    EXPECT_FALSE(a->hasControl());

    QByteArray big(300000, '\0');
    for (int i = 0; i < big.size(); ++i) big[i] = char(i * 7);
    for (int i = 0; i < 50; ++i) a->send("vexel", 1, i == 25 ? big : QByteArray("J_camera ") + QByteArray::number(i) + "\n");
    ASSERT_TRUE(waitFor([&] { return atHub.size() == 50 && atB.size() == 50; }));
    for (int i = 0; i < 50; ++i) {
        const QByteArray expected = i == 25 ? big : QByteArray("J_camera ") + QByteArray::number(i) + "\n";
        EXPECT_EQ(atHub[size_t(i)].payload, expected);
        EXPECT_EQ(atB[size_t(i)].payload, expected);
        EXPECT_EQ(atB[size_t(i)].pluginId, "vexel");
        EXPECT_EQ(atB[size_t(i)].cellIndex, 1);
    }
    EXPECT_TRUE(atA.empty());  // nobody echoes a sender

    // A peer that leaves does not disturb the other.
    a.reset();
    ASSERT_TRUE(waitFor([&] { return hub.peerCount() == 1; }));
    EXPECT_EQ(hub.send("vexel", 0, "after"), 1);
    ASSERT_TRUE(waitFor([&] { return atB.size() == 51; }));
    EXPECT_EQ(atB.back().payload, "after");

    EXPECT_TRUE(hub.passControl());
    EXPECT_FALSE(hub.hasControl());
    EXPECT_FALSE(hub.passControl());
    ASSERT_TRUE(waitFor([&] { return b.hasControl(); }));
}

}  // namespace
