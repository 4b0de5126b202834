#include "HostScriptInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

namespace quarvia {

namespace {
QWidget* target(QWidget* window, QPoint& point) {
    QWidget* child = window->childAt(point);
    if (!child) return window;
    point = child->mapFrom(window, point);
    return child;
}
}  // namespace

bool sendMouse(QWidget* window, const QString& kind, int x, int y, const QString& buttonName, const QString& keys,
               QString& error) {
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    for (const QString& key : keys.split('+', Qt::SkipEmptyParts)) {
        if (key == "shift") modifiers |= Qt::ShiftModifier;
        else if (key == "ctrl") modifiers |= Qt::ControlModifier;
        else return (error = "unknown key " + key), false;
    }
    Qt::MouseButton button = Qt::LeftButton;
    if (buttonName == "right") button = Qt::RightButton;
    else if (buttonName == "middle") button = Qt::MiddleButton;
    else if (!buttonName.isEmpty() && buttonName != "left") return (error = "unknown button " + buttonName), false;
    QEvent::Type type;
    Qt::MouseButtons held = button;
    if (kind == "press") type = QEvent::MouseButtonPress;
    else if (kind == "release") type = QEvent::MouseButtonRelease, held = Qt::NoButton;
    else if (kind == "move") type = QEvent::MouseMove, button = Qt::NoButton, held = buttonName.isEmpty() ? Qt::NoButton : held;
    else if (kind == "double") type = QEvent::MouseButtonDblClick;
    else return (error = "unknown mouse action " + kind), false;
    QPoint local(x, y);
    QWidget* receiver = target(window, local);
    QMouseEvent event(type, QPointF(local), QPointF(receiver->mapToGlobal(local)), button, held, modifiers);
    QApplication::sendEvent(receiver, &event);
    return true;
}

bool sendWheel(QWidget* window, int delta) {
    QPoint local = window->rect().center();
    QWidget* receiver = target(window, local);
    QWheelEvent event(QPointF(local), QPointF(receiver->mapToGlobal(local)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(receiver, &event);
    return true;
}

bool sendKey(QWidget* window, const QString& keyName, QString& error) {
    const QKeySequence sequence(keyName);
    if (sequence.isEmpty()) return (error = "unknown key " + keyName), false;
    const int key = sequence[0].key();
    const Qt::KeyboardModifiers modifiers = sequence[0].keyboardModifiers();
    const QString text = keyName.size() == 1 ? keyName.toLower() : QString();
    QWidget* receiver = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(receiver, &press);
    QApplication::sendEvent(receiver, &release);
    return true;
}

}  // namespace quarvia
