// The 3D window frame: toolbars and their toggles, routing to the view.
#include "plugin/CBackground.h"
#include "plugin/CommandTexts.h"
#include "render/Camera.h"
#include "plugin/CPerspective.h"

#include "FakeHost.h"
#include "QVMessage.h"
#include "QVPluginApi.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include <memory>

using namespace v3d;

namespace {

class FrameWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        cell = std::make_unique<QWidget>();
        cell->resize(600, 500);
        frame = CBackground::createInCell(cell.get());
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override {
        delete frame;
        cell.reset();
    }
    QVCommandState state(int command) {
        QVCommandState s{0, 0};
        EXPECT_TRUE(frame->onCommand(command, QV_CN_UPDATE_COMMAND_UI, &s, nullptr)) << command;
        return s;
    }
    static QStringList tips(QToolBar* bar) {
        QStringList out;
        for (QAction* a : bar->actions()) out << (a->isSeparator() ? QString("|") : a->toolTip());
        return out;
    }

    std::unique_ptr<QWidget> cell;
    CBackground* frame = nullptr;
};

TEST_F(FrameWindow, FiveToolbarsWithTheirTitlesButtonsAndSides) {
    EXPECT_EQ(frame->viewBar->windowTitle(), "View");
    EXPECT_EQ(frame->cutPlanesBar->windowTitle(), "Cut Planes");
    EXPECT_EQ(frame->segmentationBar->windowTitle(), "Segmentation");
    EXPECT_EQ(frame->mainBar->windowTitle(), "Main");
    EXPECT_EQ(frame->resetBar->windowTitle(), "Reset");
    EXPECT_EQ(frame->toolBarArea(frame->viewBar), Qt::BottomToolBarArea);
    EXPECT_EQ(frame->toolBarArea(frame->segmentationBar), Qt::BottomToolBarArea);
    EXPECT_EQ(frame->toolBarArea(frame->mainBar), Qt::RightToolBarArea);
    EXPECT_EQ(frame->toolBarArea(frame->resetBar), Qt::RightToolBarArea);
    EXPECT_EQ(tips(frame->mainBar), QStringList({"SSD 3D rendering", "MIP rendering", "Opaque rendering", "|",
                                                 "Parallel projection", "Perspective projection", "|",
                                                 "Capture images"}));
    EXPECT_EQ(tips(frame->viewBar).size(), 9);
    EXPECT_EQ(tips(frame->viewBar)[4], "|");
    EXPECT_EQ(tips(frame->resetBar),
              QStringList({"Reset view", "Reset cutplanes", "Reset shading", "Reset segmentation"}));
    for (QAction* a : frame->cutPlanesBar->actions()) EXPECT_FALSE(a->icon().isNull());
}

TEST_F(FrameWindow, ToggleTwiceRestoresTheBarAndTheCheckFollows) {
    for (int command : {ID_TOOLBAR_MAIN, ID_TOOLBAR_RESET, ID_TOOLBAR_CAMERA, ID_TOOLBAR_CUTPLANE,
                        ID_TOOLBAR_SEGMENTATION}) {
        QToolBar* bar = frame->barOfToggle(command);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(state(command).checked, 1);
        frame->dispatchCommand(command);
        EXPECT_TRUE(bar->isHidden());
        EXPECT_EQ(state(command).checked, 0);
        frame->dispatchCommand(command);
        EXPECT_FALSE(bar->isHidden());
        EXPECT_EQ(state(command).checked, 1);
    }
}

TEST_F(FrameWindow, CheckMarkFollowsABarClosedByTheUser) {
    frame->cutPlanesBar->close();  // as the close box of a floating bar does
    EXPECT_EQ(state(ID_TOOLBAR_CUTPLANE).checked, 0);
}

TEST_F(FrameWindow, ViewCommandsWaitForASeries) {
    EXPECT_EQ(state(ID_RENDER_SSD).enabled, 0);
    frame->series.m_bHasSeries = 1;
    const QVCommandState ssd = state(ID_RENDER_SSD);
    EXPECT_EQ(ssd.enabled, 1);
    EXPECT_EQ(ssd.checked, 1);
    frame->dispatchCommand(ID_RENDER_MIP);
    EXPECT_EQ(frame->view()->m_iRenderMode, RENDER_MIP);
    EXPECT_EQ(state(ID_RENDER_MIP).checked, 1);
    EXPECT_EQ(state(ID_PARALLEL).checked, 1);
    frame->dispatchCommand(ID_PERSPECTIVE);
    EXPECT_TRUE(frame->camera->perspective);
    EXPECT_EQ(state(ID_PERSPECTIVE).checked, 1);
}

TEST_F(FrameWindow, ContextMenuHasTheSixEntries) {
    QStringList titles;
    for (QAction* a : frame->view()->contextMenu()->actions()) titles << a->text();
    EXPECT_EQ(titles, QStringList({"Reference frame", "Quick thresholds", "Toolbars", "Delete", "Configure", "Refresh"}));
    QMenu* quick = frame->view()->contextMenu()->actions()[1]->menu();
    ASSERT_NE(quick, nullptr);
    // Delete submenu, "Remember current...", separator, then the four factory presets.
    ASSERT_EQ(quick->actions().size(), 3 + 4);
    EXPECT_EQ(quick->actions()[1]->text(), "Remember current...");
    EXPECT_EQ(quick->actions()[3]->text(), "Skin CT   (-300HU)");
    EXPECT_EQ(quick->actions()[3]->data().toInt(), 6000);
}

TEST_F(FrameWindow, DeletingAPresetRenumbersTheMenus) {
    QMenu* quick = frame->view()->contextMenu()->actions()[1]->menu();
    frame->dispatchCommand(7001);  // delete the bone preset
    ASSERT_EQ(quick->actions().size(), 3 + 3);
    EXPECT_EQ(quick->actions()[4]->text(), "Vessel CT ( 180HU)");
    EXPECT_EQ(quick->actions()[4]->data().toInt(), 6001);
}

}  // namespace

namespace {

TEST_F(FrameWindow, IdleTimeBringsToolbarButtonsUpToDate) {
    QAction* ssd = frame->mainBar->actions().value(0);
    QAction* deletePlane = frame->cutPlanesBar->actions().value(3);
    ASSERT_TRUE(ssd && deletePlane);
    frame->series.m_bHasSeries = 1;
    QVPluginMFCOnIdle();
    EXPECT_TRUE(ssd->isEnabled());
    EXPECT_TRUE(ssd->isChecked());
    EXPECT_FALSE(deletePlane->isEnabled()) << "no plane is selected";
    frame->dispatchCommand(ID_RENDER_MIP);
    QVPluginMFCOnIdle();
    EXPECT_FALSE(ssd->isChecked());
    EXPECT_TRUE(frame->mainBar->actions().value(1)->isChecked());
}

}  // namespace
