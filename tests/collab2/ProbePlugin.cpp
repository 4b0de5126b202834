// A minimal plug-in for host tests: its windows log what peers send them to
// a file, and its Send command sends numbered messages to the peers. It
// lets two host processes be checked end to end without the 3D plug-in.
#include "QVMessage.h"
#include "QVPluginApi.h"

#include <QFile>
#include <QWidget>

#include <cstdlib>
#include <memory>

namespace {

constexpr const char* kId = "Probe plug-in for host tests";
constexpr int kOpen = 100;
constexpr int kSend = 101;
constexpr int kMessages = 50;

// Where the windows log: the test names it (this plug-in exists only for tests).
QString logFile() { return QString::fromLocal8Bit(qgetenv("PROBE_LOG")); }

class ProbeWindow : public QWidget {
public:
    explicit ProbeWindow(QWidget* cell) : QWidget(cell) {
        setGeometry(cell->rect());
        QFile file(logFile());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);  // "this window exists"
    }

protected:
    bool event(QEvent* e) override {
        auto* message = qv::asAppMessage(e);
        if (!message) return QWidget::event(e);
        if (message->message == QV_MSG_PEER_DATA && message->wParam && message->lParam > 0) {
            const QByteArray bytes(reinterpret_cast<const char*>(message->wParam), static_cast<int>(message->lParam));
            QFile file(logFile());
            file.open(QIODevice::Append);
            file.write(bytes + "\n");
            if (bytes == "end") QFile(logFile() + ".done").open(QIODevice::WriteOnly);
        }
        message->result = 0;
        return true;
    }
};

class GlobalWindow : public QWidget {
public:
    QWidget* lastWindow = nullptr;

protected:
    bool event(QEvent* e) override {
        auto* message = qv::asAppMessage(e);
        if (!message) return QWidget::event(e);
        auto* record = reinterpret_cast<QVRoutedCommand*>(message->wParam);
        message->result = 0;
        if (message->message != QV_MSG_COMMAND || !record || !message->lParam) return true;
        if (record->code == QV_CN_COMMAND && record->command == kOpen) {
            lastWindow = reinterpret_cast<QWidget*>(QVCreateWindowInActiveCell(kId, kOpen));
        } else if (record->code == QV_CN_COMMAND && record->command == kSend && lastWindow) {
            for (int k = 0; k < kMessages; ++k) {
                // Sizes vary from a few bytes to 200 kB so that framing is tested.
                QByteArray text = "message " + QByteArray::number(k) + " ";
                text += QByteArray((k * 7919) % 200000, static_cast<char>('a' + k % 26));
                QVSendDataToCollaborationPeers(reinterpret_cast<QVWindowHandle>(lastWindow), text.constData(),
                                               static_cast<int>(text.size()), 0);
            }
            QVSendDataToCollaborationPeers(reinterpret_cast<QVWindowHandle>(lastWindow), "end", 3, 0);
        } else {
            return true;
        }
        record->flags |= 1;
        message->result = 1;
        return true;
    }
};

std::unique_ptr<GlobalWindow>& global() {
    static std::unique_ptr<GlobalWindow> window;
    return window;
}

}  // namespace

QV_PLUGIN_EXPORT void QVPluginInitialize(void) {
    global() = std::make_unique<GlobalWindow>();
    QVAddMenu(kId, 0, "Probe\\&Open", kOpen, 0);
    QVAddMenu(kId, 0, "Probe\\&Send", kSend, 0);
}
QV_PLUGIN_EXPORT const char* QVPluginGetUniquePluginID(void) { return kId; }
QV_PLUGIN_EXPORT const char* QVPluginGetHumanName(void) { return "Probe"; }
QV_PLUGIN_EXPORT QVWindowHandle QVPluginGetGlobalMessageWindow(void) {
    return reinterpret_cast<QVWindowHandle>(global().get());
}
QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindow(void*, QVWindowHandle cell) {
    if (!cell) return nullptr;
    auto* window = new ProbeWindow(reinterpret_cast<QWidget*>(cell));  // owned by the cell
    window->show();
    return reinterpret_cast<QVWindowHandle>(static_cast<QWidget*>(window));
}
QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindowState(const char*, QVWindowHandle cell) {
    return QVPluginCreatePluginWindow(nullptr, cell);
}
QV_PLUGIN_EXPORT void QVPluginDelete(void) { global().reset(); }
QV_PLUGIN_EXPORT void QVPluginFree(void* block) { std::free(block); }
