// The global message window: feature query, open-in-place, idle pump and
// the global commands.
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/PluginIdentity.h"

#include "FakeHost.h"
#include "QVMessage.h"
#include "QVPluginApi.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <QWidget>

#include <memory>
#include <sstream>
#include <tuple>

using namespace v3d;

namespace {

class MessageWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fakeHost().reset();
        QVPluginInitialize();
        window = QVPluginGetGlobalMessageWindow();
        ASSERT_NE(window, nullptr);
        fakeHost().calls.clear();
    }
    void TearDown() override {
        for (CBackground* frame : std::vector<CBackground*>(theApp().openWindows())) delete frame;
        QVPluginDelete();
    }
    intptr_t send(uint32_t message, uintptr_t w, intptr_t l) { return qv::sendMessage(window, message, w, l); }
    // Routes a command (or its update query) and answers the message's result.
    intptr_t command(int id, QVCommandState* state = nullptr) {
        QVRoutedCommand record{id, state ? QV_CN_UPDATE_COMMAND_UI : QV_CN_COMMAND, 0};
        QVCommandPointers pointers{state, nullptr};
        return send(QV_MSG_COMMAND, reinterpret_cast<uintptr_t>(&record), reinterpret_cast<intptr_t>(&pointers));
    }
    CBackground* newFrame() {
        cells.push_back(std::make_unique<QWidget>());
        return static_cast<CBackground*>(reinterpret_cast<QWidget*>(
            QVPluginCreatePluginWindow(nullptr, reinterpret_cast<QVWindowHandle>(cells.back().get()))));
    }

    QVWindowHandle window = nullptr;
    std::vector<std::unique_ptr<QWidget>> cells;
};

TEST_F(MessageWindow, FeatureQueryAnswersOneOnlyForSixty) {
    EXPECT_EQ(send(QV_MSG_SET_WINDOW_LEVEL, 60, 0), 1);
    EXPECT_EQ(send(QV_MSG_SET_WINDOW_LEVEL, 59, 0), 0);
    EXPECT_EQ(send(QV_MSG_SET_WINDOW_LEVEL, 61, 0), 0);
}

TEST_F(MessageWindow, OpenInViewOnlyForActionTwo) {
    int32_t action = 1;
    const auto view = reinterpret_cast<intptr_t>(reinterpret_cast<void*>(0x4242));
    EXPECT_EQ(send(QV_MSG_OPEN_IN_VIEW, reinterpret_cast<uintptr_t>(&action), view), 1);
    EXPECT_EQ(fakeHost().count("QVCreateWindowInPlace("), 0);

    EXPECT_EQ(send(QV_MSG_OPEN_IN_VIEW, 0, view), 0);
    EXPECT_EQ(fakeHost().count("QVCreateWindowInPlace("), 0);

    action = 2;
    EXPECT_EQ(send(QV_MSG_OPEN_IN_VIEW, reinterpret_cast<uintptr_t>(&action), view), 1);
    const std::vector<std::string> expected = {
        "QVGetImagePanelOfView(0x4242)", "QVGetPlaceOfImagePanel(0x9400)",
        std::string("QVCreateWindowInPlace(") + kPluginId + ",0x9200,0)", "QVReleasePlace(0x9200)"};
    EXPECT_EQ(fakeHost().calls, expected);
}

TEST_F(MessageWindow, IdlePumpReturnsAtOnceWhenAMessageWaits) {
    fakeHost().messageWaiting = 1;
    const int before = theApp().idleCallsMade();
    EXPECT_EQ(send(QV_MSG_IDLE, 0, 0), 0);
    EXPECT_EQ(theApp().idleCallsMade(), before);

    fakeHost().messageWaiting = 0;
    send(QV_MSG_IDLE, 0, 0);
    EXPECT_EQ(theApp().idleCallsMade(), before + 2) << "counts 0 and 1, then the handler answers false";
}

TEST_F(MessageWindow, OnIdleExportRunsUntilTheHandlerAnswersFalse) {
    fakeHost().messageWaiting = 1;  // the export does not look at the queue
    const int before = theApp().idleCallsMade();
    EXPECT_EQ(QVPluginMFCOnIdle(), 0);
    EXPECT_EQ(theApp().idleCallsMade(), before + 2);
}

TEST_F(MessageWindow, IdleDeletesThePluginsDeferredObjectsAndNoOtherOnes) {
    QPointer<QObject> hostObject = new QObject;  // deferred by someone else
    hostObject->deleteLater();
    QPointer<QObject> pluginObject = new QObject;
    theApp().deleteAtIdle(pluginObject);
    QVPluginMFCOnIdle();
    EXPECT_TRUE(pluginObject.isNull());
    ASSERT_FALSE(hostObject.isNull()) << "the host's deferred delete is the host's business";
    delete hostObject.data();
}

TEST_F(MessageWindow, RemoveCollectsTheWholeGroupBeforeDeleting) {
    auto* group = reinterpret_cast<QVGroupHandle>(0x77);
    fakeHost().activeImage = "img2";
    fakeHost().groups[group] = {"img1", "img2", "hidden3", "img4"};
    for (const auto& id : fakeHost().groups[group]) fakeHost().groupOfImage[id] = group;

    EXPECT_EQ(command(CMD_REMOVE), 1);
    const auto deletions = fakeHost().callsStartingWith("QVDeleteImage(");
    const std::string id = kPluginId;
    const std::vector<std::string> expected = {"QVDeleteImage(" + id + ",img1)", "QVDeleteImage(" + id + ",img2)",
                                               "QVDeleteImage(" + id + ",hidden3)", "QVDeleteImage(" + id + ",img4)"};
    EXPECT_EQ(deletions, expected);
    // The first deletion comes after the last enumeration.
    size_t lastEnum = 0, firstDelete = 0;
    for (size_t i = 0; i < fakeHost().calls.size(); ++i) {
        if (fakeHost().calls[i].rfind("QVGetGroupImageID", 0) == 0) lastEnum = i;
        if (!firstDelete && fakeHost().calls[i].rfind("QVDeleteImage", 0) == 0) firstDelete = i;
    }
    EXPECT_LT(lastEnum, firstDelete);
    EXPECT_EQ(fakeHost().outstandingBlocks, 0) << "every host string is freed";
}

TEST_F(MessageWindow, RemoveWithoutGroupDeletesNothing) {
    fakeHost().activeImage = "lonely";
    EXPECT_EQ(command(CMD_REMOVE), 1);
    EXPECT_EQ(fakeHost().count("QVDeleteImage("), 0);
    EXPECT_EQ(fakeHost().outstandingBlocks, 0);
}

TEST_F(MessageWindow, RemoveIsEnabledByTheHostsPermission) {
    fakeHost().activeImage = "a";
    QVCommandState state{1, 0};
    fakeHost().deletable["a"] = false;
    EXPECT_EQ(command(CMD_REMOVE, &state), 1);
    EXPECT_EQ(state.enabled, 0);
    fakeHost().deletable["a"] = true;
    command(CMD_REMOVE, &state);
    EXPECT_EQ(state.enabled, 1);
    EXPECT_EQ(fakeHost().outstandingBlocks, 0);
}

TEST_F(MessageWindow, RefreshNeedsAnActiveWindowStillDownloading) {
    QVCommandState state{1, 0};
    command(CMD_REFRESH, &state);
    EXPECT_EQ(state.enabled, 0) << "no active window";

    CBackground* other = newFrame();
    CBackground* active = newFrame();
    other->series.completedFraction = 0.5;
    active->series.completedFraction = 1.0;
    ASSERT_EQ(theApp().activeWindow(), active);
    command(CMD_REFRESH, &state);
    EXPECT_EQ(state.enabled, 0) << "only the active window counts";
    active->series.completedFraction = 0.9;
    command(CMD_REFRESH, &state);
    EXPECT_EQ(state.enabled, 1);
}

TEST_F(MessageWindow, CreateClosesAWindowWhoseLoadFailed) {
    fakeHost().onCreateWindowInActiveCell = [this](const char*, int) {
        CBackground* frame = newFrame();
        frame->series.loadedOk = 0;
        return frame->handle();
    };
    EXPECT_EQ(command(CMD_CREATE), 1);
    EXPECT_EQ(fakeHost().count("QVCreateWindowInActiveCell(" + std::string(kPluginId) + ",5000)"), 1);
    EXPECT_EQ(fakeHost().count("QVDestroyPluginWindow("), 1);
}

TEST_F(MessageWindow, CreateKeepsAWindowThatLoaded) {
    fakeHost().onCreateWindowInActiveCell = [this](const char*, int) { return newFrame()->handle(); };
    command(CMD_CREATE);
    EXPECT_EQ(fakeHost().count("QVDestroyPluginWindow("), 0);
}

TEST_F(MessageWindow, WindowCommandsAreNotTheGlobalWindows) {
    EXPECT_EQ(command(CMD_DELETE), 0);
    EXPECT_EQ(command(CMD_CONFIGURE), 0);
}

}  // namespace

namespace {

TEST_F(MessageWindow, RefreshUpdatesOnlyTheActiveWindow) {
    QVVolumeRecord otherRecord{}, activeRecord{};
    CBackground* other = newFrame();
    CBackground* active = newFrame();
    for (auto [frame, record, id] : {std::tuple{other, &otherRecord, "o1"}, std::tuple{active, &activeRecord, "a1"}}) {
        frame->series.hostVolume = record;
        frame->series.imageIds = {id};
        frame->series.completedFraction = 0.2;
        fakeHost().completion[id] = 0.6;
    }
    ASSERT_EQ(theApp().activeWindow(), active);
    EXPECT_EQ(command(CMD_REFRESH), 1);
    std::ostringstream expected;
    expected << "QVUpdateVolume(" << static_cast<const void*>(&activeRecord) << ")";
    EXPECT_EQ(fakeHost().callsStartingWith("QVUpdateVolume("), std::vector<std::string>{expected.str()});
    EXPECT_DOUBLE_EQ(active->series.completedFraction, 0.6);
    EXPECT_DOUBLE_EQ(other->series.completedFraction, 0.2);
    other->series.hostVolume = active->series.hostVolume = nullptr;  // the records are the test's
}

}  // namespace
