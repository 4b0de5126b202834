// A minimal plug-in for the link's end-to-end tests. Its window logs what
// peers send it (length, hash, and the bytes of short messages) to the
// file PROBE_LOG, makes PROBE_LOG.N when it has N messages (N up to 9), and
// PROBE_LOG.done when a message is "end". Send
// sends the messages of the file PROBE_SEND.K (K counts the Sends of this
// process; records "LENGTH\n" + bytes). Flood sends PROBE_FLOOD = "COUNT
// SIZE WINDOW" numbered messages, then "end", with at most WINDOW of them
// not yet acknowledged: a window given PROBE_ACK=1 answers each numbered
// message with "ack K", so the flood goes at the pace of that receiver.
#include "QVMessage.h"
#include "QVPluginApi.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <memory>

namespace {

constexpr const char* kId = "Link probe plug-in for host tests";
constexpr int kOpen = 100;
constexpr int kSend = 101;
constexpr int kFlood = 102;
constexpr qsizetype kLoggedBytes = 65536;

QString logFile() { return QString::fromLocal8Bit(qgetenv("PROBE_LOG")); }

QByteArray hashOf(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(); }

QByteArray floodMessage(int k, int size) {
    QByteArray text = "flood " + QByteArray::number(k) + " ";
    text += QByteArray(std::max<qsizetype>(0, size - text.size()), char('a' + k % 26));
    return text;
}

// The flood's progress: numbered messages acknowledged by the pacing receiver.
int g_acked = 0;

class ProbeWindow : public QWidget {
public:
    explicit ProbeWindow(QWidget* cell) : QWidget(cell) {
        setGeometry(cell->rect());
        QFile file(logFile());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }

protected:
    bool event(QEvent* e) override {
        auto* message = qv::asAppMessage(e);
        if (!message) return QWidget::event(e);
        if (message->message == QV_MSG_PEER_DATA && message->wParam && message->lParam > 0) {
            const QByteArray bytes(reinterpret_cast<const char*>(message->wParam), static_cast<int>(message->lParam));
            QFile file(logFile());
            file.open(QIODevice::Append);
            file.write(QByteArray::number(bytes.size()) + " " + hashOf(bytes) + "\n");
            file.write((bytes.size() <= kLoggedBytes ? bytes : QByteArray()) + "\n");
            file.close();
            if (++m_received < 10) QFile(logFile() + "." + QString::number(m_received)).open(QIODevice::WriteOnly);
            if (bytes == "end") QFile(logFile() + ".done").open(QIODevice::WriteOnly);
            if (bytes.startsWith("ack ")) g_acked = std::max(g_acked, bytes.mid(4).toInt() + 1);
            if (bytes.startsWith("flood ") && qgetenv("PROBE_ACK") == "1") {
                const QByteArray ack = "ack " + bytes.mid(6, bytes.indexOf(' ', 6) - 6);
                QVSendDataToCollaborationPeers(reinterpret_cast<QVWindowHandle>(this), ack.constData(),
                                               static_cast<int>(ack.size()), 0);
            }
        }
        message->result = 0;
        return true;
    }

private:
    int m_received = 0;
};

class GlobalWindow : public QWidget {
public:
    QWidget* lastWindow = nullptr;
    int sends = 0;

protected:
    bool event(QEvent* e) override {
        auto* message = qv::asAppMessage(e);
        if (!message) return QWidget::event(e);
        auto* record = reinterpret_cast<QVRoutedCommand*>(message->wParam);
        message->result = 0;
        if (message->message != QV_MSG_COMMAND || !record || !message->lParam || record->code != QV_CN_COMMAND) return true;
        if (record->command == kOpen) {
            lastWindow = reinterpret_cast<QWidget*>(QVCreateWindowInActiveCell(kId, kOpen));
        } else if (record->command == kSend && lastWindow) {
            sendFile(QString::fromLocal8Bit(qgetenv("PROBE_SEND")) + "." + QString::number(sends++));
        } else if (record->command == kFlood && lastWindow) {
            const QList<QByteArray> numbers = qgetenv("PROBE_FLOOD").split(' ');
            flood(0, numbers.value(0).toInt(), numbers.value(1).toInt(), numbers.value(2).toInt());
        } else {
            return true;
        }
        record->flags |= 1;
        message->result = 1;
        return true;
    }

private:
    void send(const QByteArray& bytes) {
        QVSendDataToCollaborationPeers(reinterpret_cast<QVWindowHandle>(lastWindow), bytes.constData(),
                                       static_cast<int>(bytes.size()), 0);
    }
    void sendFile(const QString& name) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) return;
        const QByteArray all = file.readAll();
        qsizetype at = 0;
        while (at < all.size()) {
            const qsizetype end = all.indexOf('\n', at);
            if (end < 0) return;
            const qsizetype length = all.mid(at, end - at).toLongLong();
            send(all.mid(end + 1, length));
            at = end + 1 + length;
        }
    }
    // Paced by the acknowledging receiver.
    void flood(int k, int count, int size, int window) {
        if (!lastWindow) return;
        if (k >= count) return send("end");
        if (k - g_acked < window) send(floodMessage(k++, size));
        QTimer::singleShot(1, this, [this, k, count, size, window] { flood(k, count, size, window); });
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
    QVAddMenu(kId, 0, "Probe\\&Flood", kFlood, 0);
}
QV_PLUGIN_EXPORT const char* QVPluginGetUniquePluginID(void) { return kId; }
QV_PLUGIN_EXPORT const char* QVPluginGetHumanName(void) { return "Link probe"; }
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
