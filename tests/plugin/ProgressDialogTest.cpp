// The modeless progress window: clamping, no redundant bar updates, Cancel
// only when allowed, the owner disabled while it shows.
#include "plugin/dialogs/CProgress.h"

#include <gtest/gtest.h>

#include <QPushButton>

using v3d::CProgress;

namespace {

TEST(ProgressDialog, ClampsAndSkipsRedundantUpdates) {
    CProgress progress(nullptr, 0, 0, nullptr);
    progress.setPosition(-5);
    EXPECT_EQ(progress.position(), 0);
    EXPECT_EQ(progress.barUpdates(), 0) << "0 is where the bar starts";
    progress.setPosition(250);
    EXPECT_EQ(progress.position(), 100);
    progress.setPosition(40);
    progress.setPosition(40);
    EXPECT_EQ(progress.barUpdates(), 2);
}

TEST(ProgressDialog, TitleCentreAndOwner) {
    QWidget owner;
    {
        CProgress progress("Creating Volume", 400, 300, &owner);
        EXPECT_EQ(progress.windowTitle(), "Creating Volume");
        EXPECT_NEAR(progress.geometry().center().x(), 400, 2);
        EXPECT_NEAR(progress.geometry().center().y(), 300, 2);
        EXPECT_FALSE(owner.isEnabled()) << "the owner waits while it shows";
        progress.closeProgress();
        EXPECT_TRUE(owner.isEnabled());
    }
    CProgress plain(nullptr, 0, 0, &owner);
    EXPECT_EQ(plain.windowTitle(), "Progress of processing");
}

TEST(ProgressDialog, CancelOnlyAfterTheOwnerAllowsIt) {
    CProgress progress(nullptr, 0, 0, nullptr);
    EXPECT_FALSE(progress.cancelButton()->isEnabled());
    progress.enableCancel();
    EXPECT_TRUE(progress.cancelButton()->isEnabled());
    EXPECT_FALSE(progress.isCancelled());
    progress.cancelButton()->click();
    EXPECT_TRUE(progress.isCancelled());
    EXPECT_TRUE(progress.isVisible()) << "Cancel leaves the decision to the owner";
}

}  // namespace
