#include "plugin/frame/CBackground.h"

#include "plugin/dialogs/CProgress.h"
#include "plugin/dialogs/WaitCursor.h"
#include "plugin/frame/MessageTexts.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/CommandRouting.h"
#include "plugin/frame/CommandTexts.h"
#include "plugin/host/HostStrings.h"
#include "plugin/host/HostSymbols.h"
#include "plugin/frame/PluginIdentity.h"
#include "plugin/paint/ToolbarIcons.h"
#include "collab/PeerState.h"
#include "collab/SegHistoryReplay.h"
#include "render/Camera.h"
#include "plugin/frame/CPerspective.h"
#include "view/RendererRegistry.h"
#include "volume/CVolume.h"
#include "volume/SeriesRates.h"

#include "QVMessage.h"

#include <QAction>
#include <QEvent>
#include <QTimerEvent>
#include <QToolBar>

#include <unistd.h>

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

CBackground::CBackground(QWidget* cell)
    : QMainWindow(cell),
      volume(std::make_unique<CVolume>()),
      camera(std::make_unique<Camera>(75.0f)),
      m_viewServices(handle()),
      m_acquisition(series, m_seriesPort, *this) {
    // A main window is a top-level window by birth; this one lives in a cell.
    setWindowFlags(Qt::Widget);
    initWindowLevel(windowLevel);
    setWindowTitle(QString());
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
    createToolbars();
    m_view = new CPerspective(this);
    setCentralWidget(m_view);
    m_view->bindToFrame(makeStandardRenderer);
}

CBackground::~CBackground() {
    stopRefreshTimer();
    theApp().removeWindow(this);
    // Background passes read the host's voxels: they end before the host
    // may free them.
    if (m_view) m_view->stopRenderers();
    if (series.hostVolume) {
        QVReleaseVolume(series.hostVolume);
        series.hostVolume = nullptr;
    }
    delete m_view;  // saves the preferences while camera and volume still exist
    m_view = nullptr;
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

void CBackground::timerEvent(QTimerEvent* event) {
    if (event->timerId() == series.refreshTimer && series.refreshTimer != 0) refreshTick();
    QMainWindow::timerEvent(event);
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
    std::vector<int> mainCommands;
    for (const RendererKind& renderer : rendererKinds()) mainCommands.push_back(renderer.command);
    mainCommands.insert(mainCommands.end(), {0, ID_PARALLEL, ID_PERSPECTIVE, 0, ID_CAPTURE});
    mainBar = createToolbar(5044, "Main", Qt::RightToolBarArea, mainCommands);
    resetBar = createToolbar(5042, "Reset", Qt::RightToolBarArea,
                             {ID_RESET_VIEW, ID_RESET_CUTPLANES, ID_RESET_SHADING, ID_RESET_SEGMENTATION});
}

QToolBar* CBackground::createToolbar(int resource, const char* title, Qt::ToolBarArea area,
                                     const std::vector<int>& commands) {
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

intptr_t CBackground::handleHostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case QV_MSG_COMMAND:
        return routeCommandMessage(*this, wParam, lParam);
    case QV_MSG_GET_WINDOW_LEVEL:
    case QV_MSG_SET_WINDOW_LEVEL:
        return windowLevelMessage(message, wParam, lParam);
    case QV_MSG_DROP_PANEL:
        if (lParam == 1) return 1;
        return dropPanel(reinterpret_cast<QVPanelHandle>(wParam));
    case QV_MSG_DROP_FILE: {
        const auto* path = reinterpret_cast<const char*>(wParam);
        if (!path || !isSegmentationFile(path)) return 0;
        std::string why;
        if (openSegmentationFile(path, why)) return 1;
        QVMessageBox(why.c_str(), "Error", QV_MB_OK | QV_MB_ICONSTOP);
        return 1;
    }
    case QV_MSG_GET_STATE: {
        auto** out = reinterpret_cast<char**>(lParam);
        if (!out) return 0;
        const std::string text = sessionText(wParam == 1);
        // Released by the host with QVPluginFree.
        *out = static_cast<char*>(std::malloc(text.size() + 1));
        if (*out) std::memcpy(*out, text.c_str(), text.size() + 1);
        return 0;
    }
    case QV_MSG_PEER_DATA: {
        const auto* bytes = reinterpret_cast<const char*>(wParam);
        if (!bytes || lParam <= 0) return 0;
        if (static_cast<uint64_t>(lParam) > kMaxPeerTextBytes) {
            m_view->notify(ViewNotice::PeerTextTooLong);
            return 0;
        }
        if (handlePeerText(std::string(bytes, static_cast<size_t>(lParam)).c_str()) != kPutUnderHandled)
            m_view->requestRender(true);
        return 0;
    }
    default:
        return 0;
    }
}

intptr_t CBackground::windowLevelMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto* record = reinterpret_cast<WindowLevelRecord*>(lParam);
    if (wParam != 1 || !record || record->size < static_cast<int32_t>(sizeof(WindowLevelRecord))) return 0;
    if (!series.m_bHasSeries) return 0;
    if (message == QV_MSG_GET_WINDOW_LEVEL) {
        record->valid = 1;
        record->width = volume->windowWidthHU();
        record->level = volume->windowLevelHU();
        record->zero16 = 0;
        record->zero20 = 0;
        record->maxWidth = CVolume::kMaxWidthHU;
        record->minLevel = -CVolume::kMaxHU;
        record->maxLevel = CVolume::kMaxHU;
    } else {
        m_view->applyWindowLevel(record->level, record->width);
    }
    return 1;
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
        else if (m_view) m_view->configure();
        return true;
    case CMD_REFRESH:
        if (state) state->enabled = m_acquisition.waitingForImages() ? 1 : 0;
        else if (m_acquisition.waitingForImages()) updateVolume();
        return true;
    case CMD_UNDO_SEGMENTATION:
        if (state) {
            state->enabled = series.m_bAllLoaded && !m_view->m_segHistory.empty() ? 1 : 0;
        } else if (series.m_bAllLoaded && undoLastSegOperation(*m_view)) {
            m_view->requestRender(true);
            sendStateToPeers(CHANGE_SEGMENTATION, true);
        }
        return true;
    case CMD_SAVE_SEGMENTATION:
    case CMD_OPEN_SEGMENTATION:
        // The mask is the whole series': only once every image is in.
        if (state) state->enabled = series.m_bHasSeries && series.m_bAllLoaded ? 1 : 0;
        else if (command == CMD_SAVE_SEGMENTATION) saveSegmentationCommand();
        else openSegmentationCommand();
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
    return m_view && m_view->onCommand(command, code, extra);
}

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

void CBackground::stopRefreshTimer() {
    if (series.refreshTimer) {
        killTimer(series.refreshTimer);
        series.refreshTimer = 0;
    }
}

CVolume& CBackground::volumeForChange() { return m_view->changeVolume(); }

void CBackground::volumeReplaced() {
    // The history and any replay still to come were the old volume's.
    m_continuedHistory.clear();
    m_view->m_segHistory.clear();
    m_view->deleteAllCutPlanes();
    m_view->applyReferenceFrame(0);
    m_view->requestRender(true);
}

void CBackground::volumeRefreshed() {
    // Classifying the arriving images made every voxel visible again: the
    // operations of the history are run anew, or the view would show less
    // than its history (and every saved or shared state) says.
    if (!m_view->m_segHistory.empty()) {
        const std::string history = std::move(m_view->m_segHistory);
        m_view->m_segHistory.clear();
        applySegHistory(*m_view, history, kReplayEverything);
    }
    m_view->requestRender(true);
}

bool CBackground::reportLoad(SeriesLoadStatus status) {
    const char* text = loadMessage(status);
    if (!text) return status == SeriesLoadStatus::Ok;
    // A host that says why it refused is quoted instead of the hint at a
    // setting it may not have.
    const auto refusal = lookupHostFunction<QVGetVolumeRefusalFn>("QVGetVolumeRefusal");
    const std::string why = status == SeriesLoadStatus::HostRefused && refusal ? takeHostString(refusal()) : "";
    const std::string shown = why.empty() ? text : refusedVolumeMessage(why);
    QVMessageBox(shown.c_str(), "Error", QV_MB_OK | QV_MB_TOPMOST);
    return status == SeriesLoadStatus::Ok;
}

bool CBackground::loadSeries(const std::vector<std::string>& ids) {
    if (ids.empty()) return false;
    WaitCursor wait;
    const QRect screen(mapToGlobal(QPoint(0, 0)), size());
    // The dialog opens after the memory question, before the host's work.
    std::unique_ptr<CProgress> progress;
    m_seriesPort.onProgress = [&](int position) {
        if (!progress)
            progress = std::make_unique<CProgress>("Creating Volume", (screen.left() + screen.right()) / 2,
                                                   (screen.top() + screen.bottom()) / 2, this);
        progress->setPosition(position);
    };
    const SeriesLoadStatus status = m_acquisition.load(ids);
    m_seriesPort.onProgress = nullptr;
    if (progress) progress->closeProgress();
    if (status == SeriesLoadStatus::Ok && m_acquisition.waitingForImages() && !series.refreshTimer)
        series.refreshTimer = startTimer(1000);
    // A refused series stopped the passes of the one shown: render it again.
    if (status != SeriesLoadStatus::Ok && series.m_bHasSeries) m_view->requestRender(true);
    return reportLoad(status);
}

void CBackground::updateVolume() {
    WaitCursor wait;
    reportLoad(m_acquisition.refresh());
    m_view->update();
    if (series.completedFraction >= 1.0 && !series.pendingState.empty()) {
        const std::string text = series.pendingState;
        series.pendingState.clear();
        // Only the state lines: a deferred saved state has loaded its images already.
        applyPeerState(*m_view, capture, *this, text);
        m_view->requestRender(true);
    }
}

void CBackground::refreshTick() {
    if (!m_acquisition.refreshDueNow()) return;
    const bool wasAllLoaded = series.m_bAllLoaded;
    updateVolume();
    if (wasAllLoaded && series.completedFraction >= 1.0) stopRefreshTimer();
}

}  // namespace v3d
