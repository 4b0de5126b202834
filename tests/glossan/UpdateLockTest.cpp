#include "UpdateLock.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace glossan;

namespace {

TEST(UpdateLock, SecondTakerFindsItBusyUntilReleased) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Glossan.lock").toStdString();
    UpdateLock first(path), second(path);
    EXPECT_EQ(first.acquire(), UpdateLock::State::Held);
    EXPECT_EQ(second.acquire(), UpdateLock::State::Busy);
    first.release();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Glossan.lock"))) << "a finished update leaves no file";
    EXPECT_EQ(second.acquire(), UpdateLock::State::Held);
}

// Three starts interleaved: B opens the file A holds; A finishes (removing
// it) and C makes and locks a new one; B's lock on the old, unnamed file
// then succeeds, yet the update is C's.
TEST(UpdateLock, LockOnAFileRemovedMeanwhileIsNotHeld) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Glossan.lock").toStdString();
    UpdateLock a(path), b(path), c(path);
    ASSERT_EQ(a.acquire(), UpdateLock::State::Held);
    bool once = false;
    b.setBetweenOpenAndLock([&] {
        if (once) return;
        once = true;
        a.release();
        EXPECT_EQ(c.acquire(), UpdateLock::State::Held);
    });
    EXPECT_EQ(b.acquire(), UpdateLock::State::Busy);
}

TEST(UpdateLock, FileLeftByADeadHolderIsTakenOver) {
    QTemporaryDir scratch;
    const QString path = scratch.filePath("Glossan.lock");
    QFile leftover(path);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    UpdateLock lock(path.toStdString());
    EXPECT_EQ(lock.acquire(), UpdateLock::State::Held);
}

TEST(UpdateLock, MissingFolderIsUnavailable) {
    QTemporaryDir dir;
    UpdateLock lock(dir.filePath("absent/Glossan.lock").toStdString());
    EXPECT_EQ(lock.acquire(), UpdateLock::State::Unavailable);
}

TEST(UpdateLock, LinkInPlaceOfTheFileIsNotFollowed) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), dir.filePath("Glossan.lock")));
    UpdateLock lock(dir.filePath("Glossan.lock").toStdString());
    EXPECT_EQ(lock.acquire(), UpdateLock::State::Unavailable);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("elsewhere")));
}

}  // namespace
