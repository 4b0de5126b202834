#pragma once

#include <QString>

class QWidget;

namespace quarvia {

// Synthetic input for scripted runs, delivered to the deepest child of
// `window` under the point, as a user's input would be.
// keys: empty, or "shift", "ctrl" or "shift+ctrl" held during the event.
bool sendMouse(QWidget* window, const QString& kind, int x, int y, const QString& button, const QString& keys,
               QString& error);
bool sendWheel(QWidget* window, int delta);
bool sendKey(QWidget* window, const QString& keyName, QString& error);

}  // namespace quarvia
