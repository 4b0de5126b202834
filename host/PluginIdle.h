#pragma once

#include <QObject>

namespace quarvia {

class PluginManager;

// Gives the plug-ins their idle time, as a desktop host does: when the event
// queue runs empty after something happened, each plug-in's idle export is
// called once (plug-ins bring their toolbars up to date there). Only in the
// outermost event loop: a modal loop inside a plug-in has its own idle, and
// what the idle export tidies must not be pulled from under a running call.
// Paints alone do not ask for another pass, so an idle host sleeps.
class PluginIdle : public QObject {
    Q_OBJECT
public:
    PluginIdle(PluginManager& plugins, QObject* parent);
    ~PluginIdle() override;

    // Idle passes run so far.
    int passes() const { return m_passes; }

signals:
    // After each pass, before the loop waits.
    void idled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queueEmpty();

    PluginManager& m_plugins;
    bool m_pending = true;
    bool m_running = false;
    int m_passes = 0;
};

}  // namespace quarvia
