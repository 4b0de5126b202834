// The 3D window frame: toolbars and their toggles, routing to the view.
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CommandTexts.h"
#include "plugin/frame/PluginIdentity.h"
#include "render/Camera.h"
#include "plugin/frame/CPerspective.h"

#include "FakeHost.h"
#include "QVMessage.h"
#include "QVPluginApi.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <QMenu>
#include <QToolBar>

#include <functional>
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

TEST_F(FrameWindow, ContextMenuHasTheSixEntriesAndTheSegmentationOnes) {
    QStringList titles;
    for (QAction* a : frame->view()->contextMenu()->actions()) titles << a->text();
    EXPECT_EQ(titles, QStringList({"Reference frame", "Quick thresholds", "Toolbars", "Undo segmentation step",
                                   "Save segmentation as DICOM...", "Open segmentation from DICOM...", "Delete",
                                   "Configure", "Refresh"}));
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

namespace {

// Runs `act` on the modal dialog once it shows (the command blocks in it).
void whenModal(const std::function<void(QDialog&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog) act(*dialog);
    });
}

std::string profileValue(const char* key) { return fakeHost().profile[std::string("0|v3d|") + key]; }

TEST_F(FrameWindow, ConfigureTogglesActAtOnceAndDoneSavesTheEdits) {
    CPerspective& view = *frame->view();
    view.m_prefs.wireframe = true;
    view.m_prefs.noTumble = true;
    const Vec3 viewBefore = frame->camera->view;
    whenModal([](QDialog& dialog) {
        dialog.findChild<QCheckBox*>("5027")->click();  // wireframe off
        dialog.findChild<QCheckBox*>("5030")->click();  // no tumbling off: the camera stays
        dialog.findChild<QLineEdit*>("5026")->setText("250");
        dialog.accept();
    });
    frame->dispatchCommand(CMD_CONFIGURE);
    EXPECT_FALSE(view.m_prefs.wireframe);
    EXPECT_FALSE(view.m_prefs.noTumble);
    EXPECT_EQ(frame->camera->view, viewBefore);
    EXPECT_EQ(view.m_prefs.segRad, 250);
    EXPECT_EQ(profileValue("m_iSegRad"), "250");
    EXPECT_EQ(profileValue("m_bWireframe"), "0");
}

TEST_F(FrameWindow, ConfigureEscapeReadsNoEditsAndSavesNothing) {
    CPerspective& view = *frame->view();
    const int rad = view.m_prefs.segRad;
    fakeHost().calls.clear();
    whenModal([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("5026")->setText("777");
        dialog.reject();
    });
    frame->dispatchCommand(CMD_CONFIGURE);
    EXPECT_EQ(view.m_prefs.segRad, rad);
    EXPECT_EQ(fakeHost().count("QVWriteProfile"), 0);
}

TEST_F(FrameWindow, RememberCurrentAddsTheNamedPresetToBothSubmenus) {
    CPerspective& view = *frame->view();
    const int before = view.m_presetTable.m_iNumOfPresets;
    view.m_fHue = 123.0f;
    whenModal([before](QDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>();
        EXPECT_EQ(edit->text(), QString("preset_%1").arg(before));
        edit->setText("My bone");
        dialog.accept();
    });
    ASSERT_TRUE(view.onCommand(CMD_REMEMBER_PRESET, QV_CN_COMMAND, nullptr));
    ASSERT_EQ(view.m_presetTable.m_iNumOfPresets, before + 1);
    EXPECT_STREQ(view.m_presetTable.m_presets[static_cast<size_t>(before)].name, "My bone");
    EXPECT_EQ(view.m_presetTable.m_presets[static_cast<size_t>(before)].hue, 123.0f);
    bool inQuick = false;
    for (QAction* action : view.contextMenu()->findChildren<QAction*>())
        inQuick |= action->data().toInt() == CMD_APPLY_PRESET + before && action->text() == "My bone";
    EXPECT_TRUE(inQuick);
}

}  // namespace
