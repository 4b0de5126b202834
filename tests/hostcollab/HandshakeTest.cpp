// Opening a session: both sides prove the shared key, and anything else
// ends the handshake with its reason.
#include "collab/HubHandshake.h"
#include "collab/PeerHandshake.h"
#include "collab/SessionGreeting.h"
#include "collab/SessionKey.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

using quarvia::CollabFrame;
using quarvia::HubHandshake;
using quarvia::PeerHandshake;
namespace SessionKey = quarvia::SessionKey;

struct Exchange {
    HubHandshake::Step hub = HubHandshake::Step::Waiting;
    PeerHandshake::Step peer = PeerHandshake::Step::Waiting;
    QByteArray reason;
};

// Plays the frames between the two sides as the link would.
Exchange play(const QByteArray& hubKey, const QByteArray& peerKey) {
    HubHandshake hub(hubKey, SessionKey::newNonce());
    PeerHandshake peer(peerKey, SessionKey::newNonce());
    Exchange run;
    PeerHandshake::Outcome answer = peer.take(hub.challenge());
    run.peer = answer.step;
    if (!answer.hasReply) return run;
    const HubHandshake::Outcome verdict = hub.take(answer.reply);
    run.hub = verdict.step;
    if (!verdict.hasReply) return run;
    const PeerHandshake::Outcome last = peer.take(verdict.reply);
    run.peer = last.step;
    run.reason = last.reason;
    return run;
}

TEST(CollabHandshake, SameKeyOpensTheSessionOnBothSides) {
    const Exchange run = play("correct horse", "correct horse");
    EXPECT_EQ(run.hub, HubHandshake::Step::Accepted);
    EXPECT_EQ(run.peer, PeerHandshake::Step::Open);
}

TEST(CollabHandshake, WrongKeyIsRefusedWithItsReason) {
    const Exchange run = play("correct horse", "battery staple");
    EXPECT_EQ(run.hub, HubHandshake::Step::WrongKey);
    EXPECT_EQ(run.peer, PeerHandshake::Step::Refused);
    EXPECT_EQ(run.reason, "wrong session key");
}

TEST(CollabHandshake, KeylessSessionOpensAndKeyMismatchesAreNamed) {
    EXPECT_EQ(play("", "").peer, PeerHandshake::Step::Open);
    EXPECT_EQ(play("", "").hub, HubHandshake::Step::Accepted) << "only once the peer has answered";
    EXPECT_EQ(play("k", "").peer, PeerHandshake::Step::HubNeedsKey);
    EXPECT_EQ(play("", "k").peer, PeerHandshake::Step::HubAsksNoKey);
}

// A hub that does not know the key cannot pass itself off as the session,
// not even by sending back the peer's own proof.
TEST(CollabHandshake, HubThatCannotProveTheKeyIsNotTrusted) {
    const QByteArray hubNonce = SessionKey::newNonce();
    PeerHandshake peer("secret", SessionKey::newNonce());
    CollabFrame challenge{CollabFrame::Challenge, "", 0, hubNonce};
    const PeerHandshake::Outcome answer = peer.take(challenge);
    ASSERT_TRUE(answer.hasReply);
    CollabFrame echo{CollabFrame::Welcome, "", 0, answer.reply.payload.left(SessionKey::kProofBytes)};
    EXPECT_EQ(peer.take(echo).step, PeerHandshake::Step::HubUnproven);
}

TEST(CollabHandshake, ProofsNameTheirSide) {
    const QByteArray a = SessionKey::newNonce(), b = SessionKey::newNonce();
    EXPECT_NE(SessionKey::peerProof("k", a, b), SessionKey::hubProof("k", a, b));
    EXPECT_NE(SessionKey::peerProof("k", a, b), SessionKey::peerProof("l", a, b));
    EXPECT_EQ(SessionKey::peerProof("k", a, b).size(), SessionKey::kProofBytes);
    EXPECT_NE(a, b);
}

TEST(CollabHandshake, MalformedStepsEndTheHandshake) {
    HubHandshake hub("k", SessionKey::newNonce());
    EXPECT_EQ(hub.take({CollabFrame::Data, "v", 0, "J_renderer 1\n"}).step, HubHandshake::Step::Malformed);
    EXPECT_EQ(hub.take({CollabFrame::Answer, "", 0, QByteArray(63, 'a')}).step, HubHandshake::Step::Malformed);
    EXPECT_EQ(hub.take({CollabFrame::Answer, "", 0, QByteArray(64, 'a')}).step, HubHandshake::Step::WrongKey);
    PeerHandshake peer("k", SessionKey::newNonce());
    EXPECT_EQ(peer.take({CollabFrame::Data, "v", 0, "x"}).step, PeerHandshake::Step::Malformed);
    EXPECT_EQ(peer.take({CollabFrame::Challenge, "", 0, QByteArray(31, 'n')}).step, PeerHandshake::Step::Malformed);
    EXPECT_EQ(peer.take({CollabFrame::Refused, "", 0, QByteArray("full\n\x01")}).reason, "full??");
}

TEST(CollabSessionKey, KeyIsTheFirstLineOfItsFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("key");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("  s3cret key \nsecond line\n");
    file.close();
    QByteArray key;
    QString error;
    ASSERT_TRUE(SessionKey::load(path, key, error)) << error.toStdString();
    EXPECT_EQ(key, "s3cret key");

    QFile empty(dir.filePath("empty"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.write("\n");
    empty.close();
    EXPECT_FALSE(SessionKey::load(dir.filePath("empty"), key, error));
    EXPECT_FALSE(SessionKey::load(dir.filePath("missing"), key, error));
}

TEST(CollabSessionKey, ComparisonSeesEveryByte) {
    EXPECT_TRUE(SessionKey::sameBytes("abcd", "abcd"));
    EXPECT_FALSE(SessionKey::sameBytes("abcd", "abce"));
    EXPECT_FALSE(SessionKey::sameBytes("abcd", "abc"));
}

// What the hub shows reaches a joiner as written; bytes that do not keep
// the grammar (too many series, a field too long or with control bytes,
// a line cut short) are refused whole.
TEST(SessionGreeting, RoundTripsAndRefusesWhatBreaksTheGrammar) {
    const std::vector<quarvia::ShownSeries> shown{
        {"1.2.3", "DOE JOHN", "CT chest", "20261208", "3", "Lung\t1 mm", "CT"}, {"1.2.4", "", "", "", "", "", "MR"}};
    std::vector<quarvia::ShownSeries> read;
    ASSERT_TRUE(quarvia::decodeGreeting(quarvia::encodeGreeting(shown), read));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].description, "Lung1 mm") << "a tab inside a field is dropped, not a new field";
    EXPECT_EQ(read[1].modality, "MR");
    const std::string head = "quarvia-shows 1\n";
    for (const std::string bad : {head + "a\tb\n", head + "a\tb\tc\td\te\tf\tg", std::string("quarvia-shows 2\n"),
                                  head + "a\tb\tc\td\te\tf\tg\x01\n", head + std::string(200, 'x') + "\tb\tc\td\te\tf\tg\n"})
        EXPECT_FALSE(quarvia::decodeGreeting(bad, read)) << bad;
    std::string many = head;
    for (size_t i = 0; i <= quarvia::kMaxShown; ++i) many += "a\tb\tc\td\te\tf\tg\n";
    EXPECT_FALSE(quarvia::decodeGreeting(many, read));
}

}  // namespace
