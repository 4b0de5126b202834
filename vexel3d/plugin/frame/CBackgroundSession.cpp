// The frame's saved state: answering the host's state request, restoring
// from a saved-state or startup text, applying peer states, and taking over
// a dropped panel (an ordinary series, or the state a captured image holds).
#include "plugin/frame/CBackground.h"

#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/PluginIdentity.h"
#include "collab/SegHistoryReplay.h"
#include "collab/SessionText.h"
#include "wire/StateLines.h"
#include "collab/StateText.h"
#include "plugin/host/HostStrings.h"
#include "plugin/frame/CPerspective.h"
#include "view/ViewSegmentation.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace v3d {

void CBackground::HostPeers::sendToPeers(const std::string& text) {
    QVSendDataToCollaborationPeers(m_frame.handle(), text.c_str(), static_cast<int>(text.size()), 0);
}

void CBackground::HostPeers::sendToPeersFromView(const std::string& text) {
    QVSendDataToCollaborationPeers(m_frame.view()->viewHandle(), text.c_str(), static_cast<int>(text.size()), 0);
}

std::string CBackground::sessionText(bool full) {
    if (series.imageIds.empty()) return std::string();
    const GroupLocation location = full ? GroupLocation() : m_study.groupOfImage(series.firstImageId);
    return buildSessionText(full, *m_view, series, capture, location);
}

void CBackground::sendStateToPeers(int mask, bool fromView) {
    if (mask <= 0) return;
    const std::string text = std::string(kStateMarkerLine) + buildStateText(*m_view, capture, mask);
    // Every peer would refuse it whole: the user hears it instead of the
    // views parting without a word.
    if (text.size() > kMaxPeerTextBytes) return m_view->notify(ViewNotice::TooLongToShare);
    if (fromView)
        m_peerSender->sendToPeersFromView(text);
    else
        m_peerSender->sendToPeers(text);
}

int CBackground::handlePeerText(const char* text) {
    if (!text) return 0;
    const std::string body(text);
    if (!findLine(kMarker.keyword, body)) return restoreFromText(body);
    const PeerStateStatus status = applyPeerState(*m_view, capture, *this, body);
    if (status == PeerStateStatus::PutUnderHandled) return kPutUnderHandled;
    m_view->update();
    QVActivateInGrid(handle());
    theApp().setActiveWindow(this);
    return status == PeerStateStatus::Deferred ? 0 : 1;
}

void CBackground::continueSegHistory(const std::string& history) {
    m_continuedHistory = history;
    if (m_continueScheduled) return;
    m_continueScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_continueScheduled = false;
        const std::string history = std::move(m_continuedHistory);
        m_continuedHistory.clear();
        if (history.empty()) return;
        if (applySegHistory(*m_view, history).cutOff) continueSegHistory(history);
        m_view->requestRender(true);
    });
}

int CBackground::restoreFromText(const std::string& text) {
    const SessionRestore restore = parseSessionText(text);
    if (restore.source == SessionRestore::Source::StartupList) {
        if (series.m_bHasSeries && !startupListNeedsLoad(restore.ids, series.imageIds)) return 1;
        return loadSeries(restore.ids) ? 1 : 0;
    }
    std::vector<std::string> ids = restore.ids;
    if (restore.source == SessionRestore::Source::Images) {
        capture.prevSeriesId = restore.prevSeriesId;
        capture.prevSeriesNumber = restore.prevSeriesNumber;
    } else if (restore.source == SessionRestore::Source::Group) {
        const std::vector<std::string> group = m_study.imagesOfGroup(restore.group);
        ids.insert(ids.end(), group.begin(), group.end());
    }
    if (!ids.empty()) {
        if (!loadSeries(ids)) return 0;
        std::memset(&windowLevel, 0, sizeof windowLevel);
        windowLevel.size = sizeof(WindowLevelRecord);
    }
    if (restore.sliceNumber) series.sliceNumber = *restore.sliceNumber;
    if (restore.sliceDistance) series.sliceDistance = *restore.sliceDistance;
    applyPeerState(*m_view, capture, *this, text);
    m_view->requestRender(true);
    QVActivateInGrid(handle());
    theApp().setActiveWindow(this);
    return 1;
}

intptr_t CBackground::dropPanel(QVPanelHandle panel) {
    if (!panel) return 0;
    const PanelImages images = m_study.imagesOfPanel(panel);
    const std::vector<std::string>& ids = images.ids;
    if (ids.empty()) return 0;
    const std::string& active = images.active;
    std::optional<std::string> state;
    std::string activeSeries;
    if (!active.empty()) {
        state = m_study.capturedState(active);
        if (state) activeSeries = m_study.seriesUid(active);
    }
    if (state && !activeSeries.empty()) {
        // A capture of this plug-in: its series reopens in the captured pose.
        std::string uid, number;
        if (m_study.canDelete(active)) {
            uid = activeSeries;
            number = std::to_string(m_study.seriesNumber(active).value_or(0));
        }
        const std::string text = rewriteDroppedState(*state, uid, number);
        if (text.size() > kMaxPeerTextBytes)
            m_view->notify(ViewNotice::TooLongToShare);
        else
            m_peerSender->sendToPeers(text);
        if (restoreFromText(text) == 1) {
            capture.captureSeriesUid = capture.prevSeriesId;
            capture.captureSeriesNumber = capture.prevSeriesNumber;
            capture.replaceableImageId = active;
        } else {
            series.loadedOk = 0;
        }
    } else {
        m_peerSender->sendToPeers(buildStartupListText(ids));
        if (loadSeries(ids)) {
            if (images.views > 0) m_study.windowLevelOfPanel(panel, windowLevel);
            capture.prevSeriesId.clear();
            capture.replaceableImageId.clear();
            series.loadedOk = 1;
        } else {
            series.loadedOk = 0;
        }
    }
    m_view->update();
    setFocus();
    QVActivateInGrid(handle());
    theApp().setActiveWindow(this);
    return 0;
}

}  // namespace v3d
