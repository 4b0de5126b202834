// The exported interface and the application object, against the recording host.
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/PluginIdentity.h"

#include "FakeHost.h"
#include "QVMessage.h"
#include "QVPluginApi.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QWidget>

#include <memory>
#include <stdexcept>

using namespace v3d;

namespace {

class PluginSpine : public ::testing::Test {
protected:
    void SetUp() override { fakeHost().reset(); }
    void TearDown() override {
        QVPluginDelete();
        cells.clear();
    }

    QWidget* newCell(int w = 300, int h = 200) {
        cells.push_back(std::make_unique<QWidget>());
        cells.back()->resize(w, h);
        return cells.back().get();
    }
    static QVWindowHandle handleOf(QWidget* w) { return reinterpret_cast<QVWindowHandle>(w); }
    static CBackground* frameOf(QVWindowHandle h) {
        return static_cast<CBackground*>(reinterpret_cast<QWidget*>(h));
    }

    std::vector<std::unique_ptr<QWidget>> cells;
};

TEST_F(PluginSpine, InitializeRegistersTheMenusInOrderThenTheButton) {
    QVPluginInitialize();
    std::vector<std::string> registration;
    for (const auto& call : fakeHost().calls)
        if (call.rfind("QVAddMenu", 0) == 0 || call.rfind("QVAddButtonToPluginToolbar", 0) == 0)
            registration.push_back(call);
    const std::string id = kPluginId;
    const std::vector<std::string> expected = {
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\&Create,5000,0)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\&Delete,5001,0)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D,0,1)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\&Remove,5002,0)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D,0,1)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\Configure,5003,0)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D,0,1)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\Re&fresh,5004,0)",
        // The segmentation's own entries follow the eight.
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D,0,1)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\&Undo segmentation step,5007,0)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\Save segmentation as DICOM...,5005,0)",
        "QVAddMenu(" + id + ",0,&Postprocessing\\Vexel 3D\\Open segmentation from DICOM...,5006,0)",
        "QVAddButtonToPluginToolbar(" + id + ",5000,5001,18x18)",
    };
    EXPECT_EQ(registration, expected);
    EXPECT_EQ(fakeHost().calls.back(), expected.back()) << "the button comes last";
}

TEST_F(PluginSpine, IdentityStrings) {
    EXPECT_STREQ(QVPluginGetUniquePluginID(), "Orlinex Quarvia Vexel 3D demo");
    EXPECT_STREQ(QVPluginGetHumanName(), "Vexel 3D");
}

TEST_F(PluginSpine, GlobalMessageWindowExistsOnlyBetweenInitializeAndDelete) {
    EXPECT_EQ(QVPluginGetGlobalMessageWindow(), nullptr);
    QVPluginInitialize();
    QVWindowHandle window = QVPluginGetGlobalMessageWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(reinterpret_cast<QWidget*>(window)->isVisible());
    QVPluginDelete();
    EXPECT_EQ(QVPluginGetGlobalMessageWindow(), nullptr);
    EXPECT_EQ(theApp().messageWindow(), nullptr);
}

TEST_F(PluginSpine, CreateWithNullCellCreatesNothing) {
    const size_t before = theApp().openWindows().size();
    EXPECT_EQ(QVPluginCreatePluginWindow(nullptr, nullptr), nullptr);
    EXPECT_EQ(QVPluginCreatePluginWindowState("version 0\n", nullptr), nullptr);
    EXPECT_EQ(theApp().openWindows().size(), before);
}

TEST_F(PluginSpine, CreatedWindowIsAVisibleChildFillingTheCell) {
    QWidget* cell = newCell(320, 240);
    cell->show();
    QVWindowHandle h = QVPluginCreatePluginWindow(nullptr, handleOf(cell));
    ASSERT_NE(h, nullptr);
    QWidget* frame = reinterpret_cast<QWidget*>(h);
    EXPECT_EQ(frame->parentWidget(), cell);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->geometry(), cell->rect());
    cell->resize(500, 400);
    EXPECT_EQ(frame->geometry(), QRect(0, 0, 500, 400)) << "the frame follows its cell";
    cell->resize(0, 0);
    EXPECT_EQ(frame->geometry(), QRect(0, 0, 500, 400)) << "a collapsed cell leaves the layout alone";
    EXPECT_EQ(theApp().activeWindow(), frameOf(h));
}

TEST_F(PluginSpine, ActiveWindowClearsOnlyWhenThatWindowIsDestroyed) {
    QVWindowHandle first = QVPluginCreatePluginWindow(nullptr, handleOf(newCell()));
    QVWindowHandle second = QVPluginCreatePluginWindow(nullptr, handleOf(newCell()));
    ASSERT_TRUE(first && second);
    const auto& open = theApp().openWindows();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0], frameOf(first));
    EXPECT_EQ(open[1], frameOf(second));
    EXPECT_EQ(theApp().activeWindow(), frameOf(second));

    delete frameOf(first);
    EXPECT_EQ(theApp().activeWindow(), frameOf(second));
    ASSERT_EQ(theApp().openWindows().size(), 1u);

    delete frameOf(second);
    EXPECT_EQ(theApp().activeWindow(), nullptr);
    EXPECT_TRUE(theApp().openWindows().empty());
}

TEST_F(PluginSpine, AddWindowIgnoresNullAndDuplicates) {
    QVWindowHandle h = QVPluginCreatePluginWindow(nullptr, handleOf(newCell()));
    theApp().addWindow(nullptr);
    theApp().addWindow(frameOf(h));
    EXPECT_EQ(theApp().openWindows().size(), 1u);
    delete frameOf(h);
}

TEST_F(PluginSpine, DestroyedWindowReleasesItsHostVolume) {
    QVWindowHandle h = QVPluginCreatePluginWindow(nullptr, handleOf(newCell()));
    QVVolumeRecord record{};
    frameOf(h)->series.hostVolume = &record;
    delete frameOf(h);
    EXPECT_EQ(fakeHost().count("QVReleaseVolume("), 1);
}

class ThrowingDialog : public QDialog {
public:
    int exec() override { throw std::runtime_error("dialog failed"); }
    void done(int) override { throw std::runtime_error("cannot close"); }
};

TEST_F(PluginSpine, NoExceptionEscapesTheDialogExports) {
    ThrowingDialog dialog;
    EXPECT_EQ(QVPluginMFCDialogModal(&dialog), 0);
    EXPECT_EQ(QVPluginMFCCancelDialogModal(&dialog), 2);
}

TEST_F(PluginSpine, CancelDialogModalEndsWithCodeTwo) {
    QDialog dialog;
    EXPECT_EQ(QVPluginMFCCancelDialogModal(&dialog), 2);
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_EQ(QVPluginMFCCancelDialogModal(nullptr), 2);
}

TEST_F(PluginSpine, PreTranslateConsumesNothing) {
    QVNativeMessage message{nullptr, 0x100, 0, 0};
    EXPECT_EQ(QVPluginMFCPreTranslateMessage(&message), 0);
    EXPECT_EQ(QVPluginMFCPreTranslateMessage(nullptr), 0);
}

TEST_F(PluginSpine, StateWindowHandsItsTextToTheWindow) {
    QVWindowHandle h = QVPluginCreatePluginWindowState("version 0\n", handleOf(newCell()));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(theApp().activeWindow(), frameOf(h));
    delete frameOf(h);
}

// Frame window messages.
class FrameMessages : public PluginSpine {
protected:
    void SetUp() override {
        PluginSpine::SetUp();
        handle = QVPluginCreatePluginWindow(nullptr, handleOf(newCell()));
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        delete frameOf(handle);
        PluginSpine::TearDown();
    }
    intptr_t send(uint32_t message, uintptr_t w, intptr_t l) { return qv::sendMessage(handle, message, w, l); }
    QVWindowHandle handle = nullptr;
};

TEST_F(FrameMessages, WindowLevelQueriesWithBadArgumentsAnswerZeroAndTouchNothing) {
    frameOf(handle)->series.m_bHasSeries = 1;
    WindowLevelRecord record{};
    record.size = 1056;
    record.width = 77;
    const auto addr = reinterpret_cast<intptr_t>(&record);
    EXPECT_EQ(send(QV_MSG_GET_WINDOW_LEVEL, 2, addr), 0);
    EXPECT_EQ(send(QV_MSG_GET_WINDOW_LEVEL, 1, 0), 0);
    record.size = 1055;
    EXPECT_EQ(send(QV_MSG_GET_WINDOW_LEVEL, 1, addr), 0);
    EXPECT_EQ(send(QV_MSG_SET_WINDOW_LEVEL, 1, addr), 0);
    EXPECT_EQ(record.width, 77);
    EXPECT_EQ(record.valid, 0);
}

TEST_F(FrameMessages, WindowLevelBeforeAVolumeAnswersZero) {
    WindowLevelRecord record{};
    record.size = 1056;
    EXPECT_EQ(send(QV_MSG_GET_WINDOW_LEVEL, 1, reinterpret_cast<intptr_t>(&record)), 0);
    EXPECT_EQ(send(QV_MSG_SET_WINDOW_LEVEL, 1, reinterpret_cast<intptr_t>(&record)), 0);
}

TEST_F(FrameMessages, InitialWindowLevelRecord) {
    const WindowLevelRecord& r = frameOf(handle)->windowLevel;
    EXPECT_EQ(r.size, 1056);
    EXPECT_EQ(r.valid, 0);
    EXPECT_EQ(r.width, 256);
    EXPECT_EQ(r.level, 128);
    EXPECT_EQ(r.maxWidth, 256);
    EXPECT_EQ(r.minLevel, 0);
    EXPECT_EQ(r.maxLevel, 256);
    EXPECT_EQ(frameOf(handle)->series.loadedOk, 1);
}

TEST_F(FrameMessages, DeleteCommandAsksTheHostToDestroyThisWindow) {
    QVRoutedCommand command{CMD_DELETE, QV_CN_COMMAND, 0};
    QVCommandPointers pointers{nullptr, nullptr};
    EXPECT_EQ(send(QV_MSG_COMMAND, reinterpret_cast<uintptr_t>(&command), reinterpret_cast<intptr_t>(&pointers)), 1);
    EXPECT_EQ(command.flags & 1, 1);
    ASSERT_EQ(fakeHost().count("QVDestroyPluginWindow("), 1);
}

TEST_F(FrameMessages, RoutedCommandWithNullPointersAnswersZero) {
    QVRoutedCommand command{CMD_DELETE, QV_CN_COMMAND, 0};
    QVCommandPointers pointers{nullptr, nullptr};
    EXPECT_EQ(send(QV_MSG_COMMAND, 0, reinterpret_cast<intptr_t>(&pointers)), 0);
    EXPECT_EQ(send(QV_MSG_COMMAND, reinterpret_cast<uintptr_t>(&command), 0), 0);
    EXPECT_EQ(command.flags, 0);
    EXPECT_EQ(fakeHost().count("QVDestroyPluginWindow("), 0);
}

TEST_F(FrameMessages, UnknownCommandIsNotHandled) {
    QVRoutedCommand command{4242, QV_CN_COMMAND, 0};
    QVCommandPointers pointers{nullptr, nullptr};
    EXPECT_EQ(send(QV_MSG_COMMAND, reinterpret_cast<uintptr_t>(&command), reinterpret_cast<intptr_t>(&pointers)), 0);
    EXPECT_EQ(command.flags, 0);
}

TEST_F(FrameMessages, StateRequestHandsOverAFreeableText) {
    char* text = nullptr;
    send(QV_MSG_GET_STATE, 1, reinterpret_cast<intptr_t>(&text));
    ASSERT_NE(text, nullptr);
    QVPluginFree(text);
    EXPECT_EQ(send(QV_MSG_GET_STATE, 1, 0), 0);
}

TEST_F(FrameMessages, DropWithLParamOneAnswersOne) {
    EXPECT_EQ(send(QV_MSG_DROP_PANEL, 0x1234, 1), 1);
}

}  // namespace
