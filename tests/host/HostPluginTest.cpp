// The reference host with the real plug-in library: registration arrives as
// menus and a toolbar button, and Create puts a 3D window into the cell.
#include "HostCell.h"
#include "CellGrid.h"
#include "HostWindow.h"
#include "PluginIdle.h"
#include "PluginRouter.h"

#include "QVHostApi.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

namespace {

class HostWithPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(profileDir.isValid());
        quarvia::HostOptions options;
        options.pluginFolder = VEXEL3D_LIBRARY;
        options.profilePath = profileDir.filePath("profile.ini");
        options.offscreen = true;
        host = std::make_unique<quarvia::HostWindow>(options);
        host->show();
        host->loadPlugins();
        ASSERT_EQ(host->plugins().plugins().size(), 1u);
    }
    void TearDown() override { host.reset(); }

    static void settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::sendPostedEvents();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QApplication::processEvents();
        }
    }

    QTemporaryDir profileDir;
    std::unique_ptr<quarvia::HostWindow> host;
};

TEST_F(HostWithPlugin, MenuEntriesAndToolbarButtonArrive) {
    for (const char* path : {"&Postprocessing\\Vexel 3D\\&Create", "&Postprocessing\\Vexel 3D\\&Delete",
                             "&Postprocessing\\Vexel 3D\\&Remove", "&Postprocessing\\Vexel 3D\\Configure",
                             "&Postprocessing\\Vexel 3D\\Re&fresh", "&Postprocessing\\Vexel 3D\\&Undo segmentation step",
                             "&Postprocessing\\Vexel 3D\\Save segmentation as DICOM...",
                             "&Postprocessing\\Vexel 3D\\Open segmentation from DICOM..."})
        EXPECT_NE(host->router().findMenuAction(path), nullptr) << path;
    QAction* submenu = host->router().findMenuAction("&Postprocessing\\Vexel 3D");
    ASSERT_TRUE(submenu && submenu->menu());
    int separators = 0;
    for (QAction* a : submenu->menu()->actions()) separators += a->isSeparator() ? 1 : 0;
    EXPECT_EQ(separators, 4);
    const QList<QAction*> buttons = host->router().pluginToolBar()->actions();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_FALSE(buttons[0]->icon().isNull());
    EXPECT_EQ(buttons[0]->icon().availableSizes().value(0), QSize(18, 18));
}

TEST_F(HostWithPlugin, CreateFillsTheActiveCell) {
    host->grid().setActiveCell(2);
    host->router().findMenuAction("&Postprocessing\\Vexel 3D\\&Create")->trigger();
    settle();
    quarvia::HostCell* cell = host->grid().cell(2);
    ASSERT_NE(cell->pluginWindow(), nullptr);
    EXPECT_TRUE(cell->pluginWindow()->isVisible());
    EXPECT_EQ(cell->pluginWindow()->geometry(), cell->rect());
    EXPECT_EQ(host->grid().cell(0)->pluginWindow(), nullptr);
}

TEST_F(HostWithPlugin, DeleteRoutedToTheWindowClosesIt) {
    host->router().findMenuAction("&Postprocessing\\Vexel 3D\\&Create")->trigger();
    settle();
    ASSERT_NE(host->grid().activeCell()->pluginWindow(), nullptr);
    host->router().findMenuAction("&Postprocessing\\Vexel 3D\\&Delete")->trigger();
    settle();
    EXPECT_EQ(host->grid().activeCell()->pluginWindow(), nullptr);
}

TEST_F(HostWithPlugin, CommandStatesComeFromThePlugin) {
    auto& plugin = *host->plugins().plugins().front();
    QVCommandState state{};
    EXPECT_TRUE(host->router().commandState(plugin, 5000, state));
    EXPECT_EQ(state.enabled, 1);
    EXPECT_TRUE(host->router().commandState(plugin, 5004, state));
    EXPECT_EQ(state.enabled, 0) << "no 3D window to refresh";
    EXPECT_FALSE(host->router().commandState(plugin, 5001, state)) << "Delete needs a 3D window";
}

}  // namespace

namespace {

TEST_F(HostWithPlugin, UserAloneHoldsTheControl) {
    // Without a collaboration session nothing may keep the user from driving.
    EXPECT_EQ(QVHasCollaborationControl(), 1);
}

}  // namespace

namespace {

// The event loop gives the plug-ins idle time after events, and only then:
// a host with nothing to do sleeps instead of calling them over and over.
TEST_F(HostWithPlugin, IdleTimeFollowsEventsAndAnIdleHostSleeps) {
    host->router().findMenuAction("&Postprocessing\\Vexel 3D\\&Create")->trigger();
    const int before = host->idle().passes();
    QEventLoop loop;
    QTimer::singleShot(400, &loop, &QEventLoop::quit);
    loop.exec();
    const int after = host->idle().passes();
    EXPECT_GE(after - before, 1);
    EXPECT_LE(after - before, 20) << "a spinning loop would call the plug-ins thousands of times";
}

}  // namespace
