// Host-to-window message delivery over Qt events. Header-only so that the
// host and each plug-in agree on it without sharing a library: the event
// type is a fixed number, not a registered one, because each module would
// register its own.
#pragma once

#include "QVPluginApi.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <cstdint>

namespace qv {

constexpr QEvent::Type kAppMessageEventType = static_cast<QEvent::Type>(QEvent::User + 0x3D3);

// One host message: message number, wParam, lParam and the receiver's answer.
class AppMessageEvent : public QEvent {
public:
    AppMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
        : QEvent(kAppMessageEventType), message(message), wParam(wParam), lParam(lParam) {}

    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    intptr_t result = 0;
};

inline QWidget* widgetOf(QVWindowHandle handle) { return reinterpret_cast<QWidget*>(handle); }
inline QVWindowHandle handleOf(QWidget* widget) { return reinterpret_cast<QVWindowHandle>(widget); }

// Synchronous: the receiver handles the message before this returns; answers
// the receiver's result (0 for a null window).
inline intptr_t sendMessage(QVWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    QWidget* w = widgetOf(window);
    if (!w) return 0;
    AppMessageEvent ev(message, wParam, lParam);
    QCoreApplication::sendEvent(w, &ev);
    return ev.result;
}

// Queued: delivered later by the event loop; the result is dropped. Qt frees
// the event, also when the receiver is destroyed first.
inline void postMessage(QVWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    QWidget* w = widgetOf(window);
    if (!w) return;
    QCoreApplication::postEvent(w, new AppMessageEvent(message, wParam, lParam));
}

// For receivers: the host message an event carries, or null.
inline AppMessageEvent* asAppMessage(QEvent* event) {
    return event && event->type() == kAppMessageEventType ? static_cast<AppMessageEvent*>(event) : nullptr;
}

}  // namespace qv
