#include "CProgress.h"
#include "ProgressWatch.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace glossan;

namespace {

TEST(ProgressDialog, ShowsItsControlsWithTheirIds) {
    CProgress window;
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Glossan Download progress");
    auto* label = window.findChild<QLabel*>("4004");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Current file");
    for (const char* id : {"4000", "4001"}) {
        auto* bar = window.findChild<QProgressBar*>(id);
        ASSERT_NE(bar, nullptr) << id;
        EXPECT_EQ(bar->value(), 0);
    }
    auto* cancel = window.findChild<QPushButton*>("2");
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_TRUE(cancel->isEnabled());
}

TEST(ProgressDialog, BarsClampAndSkipUnchangedPositions) {
    CProgress window;
    ProgressWatch watch;
    watch.attach(&window);
    window.setOverallPosition(150);
    window.setOverallPosition(100);
    window.setOverallPosition(-5);
    window.setCurrentPosition(40);
    window.setCurrentPosition(40);
    EXPECT_EQ(watch.overall, (std::vector<int>{100, 0}));
    EXPECT_EQ(watch.current, (std::vector<int>{40}));
}

TEST(ProgressDialog, CancelOnlyRaisesTheFlag) {
    CProgress window;
    EXPECT_FALSE(window.isCancelled());
    pressCancel(window);
    EXPECT_TRUE(window.isCancelled());
    EXPECT_TRUE(window.isVisible());

    CProgress other;
    other.reject();  // Escape
    EXPECT_TRUE(other.isCancelled());
    EXPECT_FALSE(other.close()) << "the close box does not take the window down";
    EXPECT_TRUE(other.isVisible());
}

}  // namespace
