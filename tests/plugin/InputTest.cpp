// Mouse and key events of the 3D view widget: readiness, control,
// activation and the right-click context menu.
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/CommandTexts.h"
#include "plugin/dialogs/CV3DSetupDialog.h"
#include "render/Camera.h"
#include "plugin/frame/CPerspective.h"

#include "FakeHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <memory>
#include <sstream>

using namespace v3d;

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        fakeHost().collaborationControl = 1;
        cell = std::make_unique<QWidget>();
        cell->resize(600, 500);
        frame = CBackground::createInCell(cell.get());
        ASSERT_NE(frame, nullptr);
        frame->series.m_bHasSeries = 1;
        frame->series.m_bAllLoaded = true;
    }
    void TearDown() override {
        view()->contextMenu()->hide();
        delete frame;
        cell.reset();
    }
    CPerspective* view() { return frame->view(); }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view(), &event);
    }
    void rightClick(bool moveBetween) {
        const QPointF at(120, 120);
        mouse(QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        if (moveBetween) mouse(QEvent::MouseMove, at + QPointF(1, 0), Qt::NoButton, Qt::RightButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }
    void key(int qtKey) {
        QKeyEvent event(QEvent::KeyPress, qtKey, Qt::NoModifier);
        QApplication::sendEvent(view(), &event);
    }
    void wheel(int delta) {
        const QPointF at(120, 120);
        QWheelEvent event(at, view()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &event);
    }

    std::unique_ptr<QWidget> cell;
    CBackground* frame = nullptr;
};

TEST_F(Input, RightClickWithoutMoveOpensTheContextMenu) {
    view()->m_iRightTool = TOOL_WINDOW_LEVEL;
    rightClick(false);
    EXPECT_TRUE(view()->contextMenu()->isVisible());
    EXPECT_FALSE(view()->popupArmed());
    EXPECT_EQ(view()->m_iRightTool, TOOL_WINDOW_LEVEL);
}

TEST_F(Input, RightDragOfOnePixelEndsTheDragInstead) {
    rightClick(true);
    EXPECT_FALSE(view()->contextMenu()->isVisible());
    EXPECT_TRUE(view()->m_bAnchorReset) << "the right release ran";
}

TEST_F(Input, NothingActsBeforeAllImagesAreLoaded) {
    frame->series.m_bAllLoaded = false;
    rightClick(false);
    EXPECT_FALSE(view()->contextMenu()->isVisible());
    key(Qt::Key_X);
    EXPECT_EQ(view()->m_iImageWidth, 256);
}

TEST_F(Input, LeftPressWithControlActivatesTheWindow) {
    theApp().setActiveWindow(nullptr);
    mouse(QEvent::MouseButtonPress, QPointF(100, 100), Qt::LeftButton, Qt::LeftButton);
    std::ostringstream expected;
    expected << "QVActivateInGrid(" << static_cast<const void*>(view()->viewHandle()) << ")";
    EXPECT_EQ(fakeHost().count(expected.str()), 1);
    EXPECT_EQ(theApp().activeWindow(), frame);
    mouse(QEvent::MouseButtonRelease, QPointF(100, 100), Qt::LeftButton, Qt::NoButton);
}

TEST_F(Input, WithoutControlTheWheelAndTheArrowsLeaveTheCamera) {
    fakeHost().collaborationControl = 0;
    const float zoom = frame->camera->getZoom();
    const Vec3 position = frame->camera->position;
    wheel(120);
    key(Qt::Key_Left);
    EXPECT_EQ(frame->camera->getZoom(), zoom);
    EXPECT_TRUE(frame->camera->position == position);
    key(Qt::Key_X);
    EXPECT_EQ(view()->m_iImageWidth, 240) << "tune-up keys need no control";
    fakeHost().collaborationControl = 1;
    wheel(120);
    EXPECT_GT(frame->camera->getZoom(), zoom);
}

TEST_F(Input, ToolButtonsReachTheView) {
    frame->dispatchCommand(ID_HUE_SATURATION);
    EXPECT_EQ(view()->m_iRightTool, TOOL_HUE_SAT);
    QVCommandState state{0, 0};
    ASSERT_TRUE(frame->onCommand(ID_HUE_SATURATION, QV_CN_UPDATE_COMMAND_UI, &state, nullptr));
    EXPECT_EQ(state.checked, 1);
    ASSERT_TRUE(frame->onCommand(ID_MOVE_CUTPLANE, QV_CN_UPDATE_COMMAND_UI, &state, nullptr));
    EXPECT_EQ(state.enabled, 0);
}

}  // namespace

namespace {

// A peer's tumbling line while the dialog is open survives a check box
// and Done: the dialog changes only what the user changed in it.
TEST_F(Input, SetupDialogKeepsSettingsChangedWhileItIsOpen) {
    view()->m_prefs.noTumble = true;
    QTimer::singleShot(0, [this] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        view()->m_prefs.noTumble = false;  // as a received "J_tumbling 0" does
        dialog->findChild<QCheckBox*>(QString::number(SETUP_OPQ_ON_SSD))->click();
        dialog->findChild<QPushButton*>(QString::number(SETUP_DONE))->click();
    });
    view()->configure();
    EXPECT_FALSE(view()->m_prefs.noTumble);
}

}  // namespace
