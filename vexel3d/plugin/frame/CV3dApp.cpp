#include "plugin/frame/CV3dApp.h"

#include "plugin/frame/CBackground.h"
#include "plugin/frame/CMessage.h"
#include "plugin/host/HostSymbols.h"

#include "QVHostApi.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace v3d {

CV3dApp::CV3dApp() = default;

CV3dApp::~CV3dApp() {
    // The host deletes the plug-in before unloading; a library unloaded
    // without that must not leave a widget behind with no code.
    destroyMessageWindow();
}

void CV3dApp::setMessageWindow(std::unique_ptr<CMessage> window) {
    destroyMessageWindow();
    m_messageWindow = std::move(window);
}

void CV3dApp::destroyMessageWindow() {
    // Without a running application a widget cannot be torn down safely
    // (late unload at process exit): leave it to the process's end.
    if (!QCoreApplication::instance()) {
        (void)m_messageWindow.release();
        return;
    }
    m_messageWindow.reset();
}

void CV3dApp::addWindow(CBackground* window) {
    if (!window) return;
    if (std::find(m_openWindows.begin(), m_openWindows.end(), window) != m_openWindows.end()) return;
    m_openWindows.push_back(window);
}

void CV3dApp::removeWindow(CBackground* window) {
    auto it = std::find(m_openWindows.begin(), m_openWindows.end(), window);
    if (it != m_openWindows.end()) m_openWindows.erase(it);
    if (m_activeWindow == window) m_activeWindow = nullptr;
}

void CV3dApp::deleteAtIdle(QObject* object) {
    if (object) m_deferredDeletes.emplace_back(object);
}

bool CV3dApp::onIdle(int count) {
    ++m_idleCalls;
    switch (count) {
    case 0:
        // Qt does not refresh command states by itself: bring toolbar
        // buttons up to date with what they act on.
        for (CBackground* window : m_openWindows) window->updateCommandStates();
        return true;
    case 1: {
        // The plug-in's objects whose deletion was deferred go now, as idle
        // time allows; those of the host and other plug-ins are not ours.
        std::vector<QPointer<QObject>> due;
        due.swap(m_deferredDeletes);
        for (QPointer<QObject>& object : due) delete object.data();
        return false;
    }
    default:
        return false;
    }
}

void CV3dApp::runIdle() {
    for (int count = 0; onIdle(count); ++count) {
    }
}

void CV3dApp::runIdlePump() {
    for (int count = 0;; ++count) {
        if (messageWaiting()) return;
        if (!onIdle(count)) return;
    }
}

bool CV3dApp::hostTellsWaitingMessages() const {
    if (!m_probeLooked) {
        m_messageProbe = lookupHostFunction<QVIsMessageWaitingFn>("QVIsMessageWaiting");
        m_probeLooked = true;
    }
    return m_messageProbe != nullptr;
}

bool CV3dApp::messageWaiting() const { return hostTellsWaitingMessages() && m_messageProbe() != 0; }

CV3dApp& theApp() {
    static CV3dApp app;
    return app;
}

}  // namespace v3d
