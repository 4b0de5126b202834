#include "CBackground.h"

#include "CV3dApp.h"
#include "CommandRouting.h"
#include "HostSymbols.h"
#include "PluginIdentity.h"

#include "QVMessage.h"

#include <QEvent>

#include <cstdlib>
#include <cstring>

namespace v3d {

namespace {
void initWindowLevel(WindowLevelRecord& record) {
    std::memset(&record, 0, sizeof record);
    record.size = sizeof(WindowLevelRecord);
    record.width = 256;
    record.level = 128;
    record.maxWidth = 256;
    record.minLevel = 0;
    record.maxLevel = 256;
}
}  // namespace

CBackground::CBackground(QWidget* cell) : QMainWindow(cell) {
    // A main window is a top-level window by birth; this one lives in a cell.
    setWindowFlags(Qt::Widget);
    initWindowLevel(windowLevel);
    hostIsLossless = lookupHostFunction<QVIsLosslessFn>("QVIsLossless");
    hostGetDownloadRate = lookupHostFunction<QVGetDownloadRateFn>("QVGetDownloadRate");
    hostSetMagicX = lookupHostFunction<QVSetMagicXFn>("QVSetMagicX");
    setWindowTitle(QString());
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

CBackground::~CBackground() {
    if (refreshTimer) {
        killTimer(refreshTimer);
        refreshTimer = 0;
    }
    theApp().removeWindow(this);
    if (hostVolume) {
        QVReleaseVolume(hostVolume);
        hostVolume = nullptr;
    }
}

CBackground* CBackground::createInCell(QWidget* cell) {
    if (!cell) return nullptr;
    auto* window = new CBackground(cell);  // owned by the cell (Qt parent)
    window->fillCell();
    cell->installEventFilter(window);
    window->show();
    window->repaint();
    theApp().addWindow(window);
    theApp().setActiveWindow(window);
    return window;
}

void CBackground::fillCell() {
    if (QWidget* cell = parentWidget()) setGeometry(cell->rect());
}

bool CBackground::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        // A collapsed cell (0 x 0) does not disturb the layout.
        const QSize size = parentWidget()->size();
        if (size.width() != 0 || size.height() != 0) fillCell();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CBackground::event(QEvent* event) {
    if (auto* message = qv::asAppMessage(event)) {
        message->result = handleHostMessage(message->message, message->wParam, message->lParam);
        return true;
    }
    return QMainWindow::event(event);
}

intptr_t CBackground::handleHostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case QV_MSG_COMMAND:
        return routeCommandMessage(*this, wParam, lParam);
    case QV_MSG_GET_WINDOW_LEVEL:
    case QV_MSG_SET_WINDOW_LEVEL: {
        auto* record = reinterpret_cast<WindowLevelRecord*>(lParam);
        if (wParam != 1 || !record || record->size < static_cast<int32_t>(sizeof(WindowLevelRecord))) return 0;
        if (!m_bHasSeries) return 0;
        return 0;  // the view answers once it exists
    }
    case QV_MSG_DROP_PANEL:
        if (lParam == 1) return 1;
        return 0;
    case QV_MSG_GET_STATE: {
        auto** out = reinterpret_cast<char**>(lParam);
        if (!out) return 0;
        *out = static_cast<char*>(std::calloc(1, 1));  // released by the host with QVPluginFree
        return 0;
    }
    case QV_MSG_PEER_DATA: {
        const auto* bytes = reinterpret_cast<const char*>(wParam);
        if (!bytes || lParam <= 0) return 0;
        handlePeerText(std::string(bytes, static_cast<size_t>(lParam)).c_str());
        return 0;
    }
    default:
        return 0;
    }
}

bool CBackground::onCommand(int command, int code, void* extra, void* /*handlerInfo*/) {
    QVCommandState* state = commandStateOf(code, extra);
    if (code == QV_CN_UPDATE_COMMAND_UI && !state) return false;
    switch (command) {
    case CMD_DELETE:
        if (state) state->enabled = 1;
        else QVDestroyPluginWindow(handle());
        return true;
    case CMD_CONFIGURE:
        if (state) state->enabled = 1;
        return true;
    default:
        return false;
    }
}

int CBackground::handlePeerText(const char* /*text*/) { return 0; }

void CBackground::updateCommandStates() {}

void CBackground::updateVolume() {}

}  // namespace v3d
