#include "plugin/frame/CMessage.h"

#include "plugin/frame/CBackground.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/CommandRouting.h"
#include "plugin/frame/PluginIdentity.h"

#include "QVMessage.h"

#include <cstdlib>
#include <deque>
#include <string>

namespace v3d {

CMessage::CMessage() : QWidget(nullptr, Qt::Tool) {
    setWindowTitle(QString());
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_DontShowOnScreen, true);
    // Hidden, but a real native-less widget that can receive events.
}

CMessage::~CMessage() = default;

bool CMessage::event(QEvent* event) {
    if (auto* message = qv::asAppMessage(event)) {
        message->result = handleHostMessage(message->message, message->wParam, message->lParam);
        return true;
    }
    return QWidget::event(event);
}

intptr_t CMessage::handleHostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case QV_MSG_COMMAND:
        return routeCommandMessage(*this, wParam, lParam);
    case QV_MSG_SET_WINDOW_LEVEL:
        // On the global window this is the host's feature query.
        return wParam == 60 ? 1 : 0;
    case QV_MSG_OPEN_IN_VIEW: {
        auto* action = reinterpret_cast<const int32_t*>(wParam);
        if (!action) return 0;
        if (*action == 2) openInPlaceOfView(reinterpret_cast<void*>(lParam));
        return 1;
    }
    case QV_MSG_IDLE:
        theApp().runIdlePump();
        return 0;
    default:
        return 0;
    }
}

bool CMessage::onCommand(int command, int code, void* extra, void* /*handlerInfo*/) {
    QVCommandState* state = commandStateOf(code, extra);
    if (code == QV_CN_UPDATE_COMMAND_UI && !state) return false;
    switch (command) {
    case CMD_CREATE:
        if (state) state->enabled = 1;
        else onCreate();
        return true;
    case CMD_REMOVE:
        if (state) state->enabled = removeEnabled() ? 1 : 0;
        else onRemove();
        return true;
    case CMD_REFRESH:
        if (state) state->enabled = refreshEnabled() ? 1 : 0;
        else onRefresh();
        return true;
    default:
        return false;
    }
}

void CMessage::onCreate() {
    // The host creates the window through the create export and hands it
    // the cell's series before this returns.
    QVCreateWindowInActiveCell(kPluginId, CMD_CREATE);
    CBackground* window = theApp().activeWindow();
    if (window && window->series.loadedOk == 0) QVDestroyPluginWindow(window->handle());
}

void CMessage::onRemove() {
    char* image = QVGetActiveImage();
    QVGroupHandle group = QVGetGroupOfImage(image);
    QVFree(image);
    if (!group) return;
    // Collect every identifier first: deleting changes the enumeration.
    std::deque<std::string> ids;
    const int count = QVGetImageCount(group);
    for (int i = 0; i < count; ++i) {
        char* id = QVGetGroupImageID(group, i);
        ids.emplace_back(id ? id : "");
        QVFree(id);
    }
    while (!ids.empty()) {
        QVDeleteImage(kPluginId, ids.front().c_str());
        ids.pop_front();
    }
}

void CMessage::onRefresh() {
    CBackground* window = theApp().activeWindow();
    if (window && window->series.completedFraction < 1.0) window->updateVolume();
}

bool CMessage::removeEnabled() const {
    char* image = QVGetActiveImage();
    const bool enabled = QVCanDeleteImage(kPluginId, image) != 0;
    QVFree(image);
    return enabled;
}

bool CMessage::refreshEnabled() const {
    CBackground* window = theApp().activeWindow();
    return window && window->series.completedFraction < 1.0;
}

void CMessage::openInPlaceOfView(void* hostView) {
    QVPanelHandle panel = QVGetImagePanelOfView(static_cast<QVViewHandle>(hostView));
    QVPlaceHandle place = QVGetPlaceOfImagePanel(panel);
    QVCreateWindowInPlace(kPluginId, place, 0);
    QVReleasePlace(place);
}

}  // namespace v3d
