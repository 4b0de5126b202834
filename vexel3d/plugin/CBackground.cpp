#include "CBackground.h"

#include "CV3dApp.h"
#include "CommandRouting.h"
#include "CommandTexts.h"
#include "HostSymbols.h"
#include "PluginIdentity.h"
#include "ToolbarIcons.h"

#include "QVMessage.h"

#include <QAction>
#include <QEvent>
#include <QToolBar>

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
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
    createToolbars();
}

void CBackground::createToolbars() {
    // Bottom: View, Cut Planes, Segmentation side by side; right: Main over Reset.
    viewBar = createToolbar(5032, "View", Qt::BottomToolBarArea,
                            {ID_ORBIT_CAMERA, ID_ROTATE_CAMERA, ID_STRAFE_CAMERA, ID_MOVE_ROLL_CAMERA, 0, ID_ISOVALUE,
                             ID_WINDOW_LEVEL, ID_HUE_SATURATION, ID_SHADE});
    cutPlanesBar = createToolbar(5034, "Cut Planes", Qt::BottomToolBarArea,
                                 {ID_CREATE_CUTPLANE, ID_SELECT_CUTPLANE, ID_MOVE_CUTPLANE, ID_DELETE_CUTPLANE});
    segmentationBar = createToolbar(5040, "Segmentation", Qt::BottomToolBarArea,
                                    {ID_SELECT_OBJECT, ID_SELECT_ROI, ID_SELECT_DENSITY});
    mainBar = createToolbar(5044, "Main", Qt::RightToolBarArea,
                            {ID_RENDER_SSD, ID_RENDER_MIP, ID_RENDER_OPQ, 0, ID_PARALLEL, ID_PERSPECTIVE, 0, ID_CAPTURE});
    resetBar = createToolbar(5042, "Reset", Qt::RightToolBarArea,
                             {ID_RESET_VIEW, ID_RESET_CUTPLANES, ID_RESET_SHADING, ID_RESET_SEGMENTATION});
}

QToolBar* CBackground::createToolbar(int resource, const char* title, Qt::ToolBarArea area,
                                     std::initializer_list<int> commands) {
    auto* bar = new QToolBar(QString::fromUtf8(title), this);
    bar->setObjectName(QString::number(resource));
    bar->setIconSize(QSize(18, 18));
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    bar->setMovable(true);
    bar->setFloatable(true);
    bar->setContentsMargins(3, 4, 3, 3);
    for (int command : commands) {
        if (command == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = bar->addAction(toolbarIcon(command), QString::fromUtf8(commandCaption(command)));
        action->setData(command);
        action->setToolTip(QString::fromUtf8(commandCaption(command)));
        action->setStatusTip(action->toolTip());
        connect(action, &QAction::triggered, this, [this, command] { dispatchCommand(command); });
    }
    addToolBar(area, bar);
    return bar;
}

void CBackground::dispatchCommand(int command) { onCommand(command, QV_CN_COMMAND, nullptr, nullptr); }

QToolBar* CBackground::barOfToggle(int command) const {
    switch (command) {
    case ID_TOOLBAR_MAIN: return mainBar;
    case ID_TOOLBAR_RESET: return resetBar;
    case ID_TOOLBAR_CAMERA: return viewBar;
    case ID_TOOLBAR_CUTPLANE: return cutPlanesBar;
    case ID_TOOLBAR_SEGMENTATION: return segmentationBar;
    default: return nullptr;
    }
}

bool CBackground::barShown(const QToolBar* bar) { return bar && !bar->isHidden(); }

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
        break;
    }
    if (QToolBar* bar = barOfToggle(command)) {
        if (state) {
            state->enabled = 1;
            state->checked = barShown(bar) ? 1 : 0;
        } else {
            bar->setVisible(!barShown(bar));
        }
        return true;
    }
    return false;
}

int CBackground::handlePeerText(const char* /*text*/) { return 0; }

void CBackground::updateCommandStates() {
    for (QToolBar* bar : {viewBar, cutPlanesBar, segmentationBar, mainBar, resetBar}) {
        if (!bar) continue;
        for (QAction* action : bar->actions()) {
            const int command = action->data().toInt();
            if (command == 0) continue;
            QVCommandState state{0, 0};
            const bool answered = onCommand(command, QV_CN_UPDATE_COMMAND_UI, &state, nullptr);
            action->setEnabled(answered && state.enabled != 0);
            action->setCheckable(answered && state.checked != 0);
            action->setChecked(answered && state.checked != 0);
        }
    }
}

void CBackground::updateVolume() {}

}  // namespace v3d
