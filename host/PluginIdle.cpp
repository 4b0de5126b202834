#include "PluginIdle.h"

#include "PluginManager.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace quarvia {

PluginIdle::PluginIdle(PluginManager& plugins, QObject* parent) : QObject(parent), m_plugins(plugins) {
    QCoreApplication::instance()->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &PluginIdle::queueEmpty);
}

PluginIdle::~PluginIdle() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool PluginIdle::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
        break;
    default:
        if (!m_running) m_pending = true;
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PluginIdle::queueEmpty() {
    if (!m_pending || m_running || QThread::currentThread()->loopLevel() > 1) return;
    m_pending = false;
    m_running = true;
    for (const auto& plugin : m_plugins.plugins())
        if (plugin->onIdle) plugin->onIdle();
    m_running = false;
    ++m_passes;
    emit idled();
}

}  // namespace quarvia
