#pragma once

#include "QVHostApi.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

namespace v3d {

class CBackground;
class CMessage;

// The one application object: lives as long as the library is loaded.
// Owns the global message window; lists the open 3D windows without
// owning them (each window owns itself and the host destroys it).
class CV3dApp {
public:
    CV3dApp();
    ~CV3dApp();
    CV3dApp(const CV3dApp&) = delete;
    CV3dApp& operator=(const CV3dApp&) = delete;

    CMessage* messageWindow() const { return m_messageWindow.get(); }
    void setMessageWindow(std::unique_ptr<CMessage> window);
    // Destroys the global message window (deleting the widget destroys the window too).
    void destroyMessageWindow();

    const std::vector<CBackground*>& openWindows() const { return m_openWindows; }
    CBackground* activeWindow() const { return m_activeWindow; }
    void setActiveWindow(CBackground* window) { m_activeWindow = window; }

    // Appends unless already listed; null is ignored.
    void addWindow(CBackground* window);
    // Removes if listed; clears activeWindow when it is this window.
    void removeWindow(CBackground* window);

    // Deletes the object at the next idle time (the plug-in's own objects
    // only: other objects of the process keep their own schedule).
    void deleteAtIdle(QObject* object);

    // Idle processing for one count; true while more idle work is pending.
    bool onIdle(int count);
    // Calls onIdle with 0, 1, 2 ... until it answers false.
    void runIdle();
    // The same, stopping before any count at which a message is waiting.
    void runIdlePump();
    // Whether the host can tell that messages wait (its optional probe).
    bool hostTellsWaitingMessages() const;
    // Whether the thread has a message waiting; false when the host cannot tell.
    bool messageWaiting() const;
    // How many idle-handler calls ran so far (lets tests see the pump stop).
    int idleCallsMade() const { return m_idleCalls; }

private:
    std::unique_ptr<CMessage> m_messageWindow;
    std::vector<CBackground*> m_openWindows;
    CBackground* m_activeWindow = nullptr;
    int m_idleCalls = 0;
    std::vector<QPointer<QObject>> m_deferredDeletes;
    // The host's optional probe, looked up once on first use.
    mutable bool m_probeLooked = false;
    mutable QVIsMessageWaitingFn m_messageProbe = nullptr;
};

CV3dApp& theApp();

}  // namespace v3d
