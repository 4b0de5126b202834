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
    QByteArray buffer;
    std::vector<CollabFrame> frames;
    for (char c : stream) {
        buffer.append(c);
        ASSERT_TRUE(quarvia::takeFrames(buffer, frames));
    }
    ASSERT_EQ(frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[size_t(i)].cellIndex, i);
        EXPECT_EQ(frames[size_t(i)].payload, QByteArray(i * 100 + 1, char('a' + i)));
    }
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(CollabFraming, GarbageIsRefused) {
    QByteArray huge("\xFF\xFF\xFF\xFF", 4);
    std::vector<CollabFrame> frames;
    EXPECT_FALSE(quarvia::takeFrames(huge, frames));
    QByteArray badKind = quarvia::encodeFrame({CollabFrame::Data, "x", 0, "y"});
    badKind[4] = 9;
    EXPECT_FALSE(quarvia::takeFrames(badKind, frames));
    EXPECT_TRUE(frames.empty());
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
