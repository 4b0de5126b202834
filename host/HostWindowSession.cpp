// The host window's layouts, direct commands and collaboration session.
#include "HostWindow.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "collab/CollaborationLink.h"
#include "dicom/StudyDatabase.h"

#include "QVMessage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quarvia {

bool HostWindow::routeCommandToCell(int cellIndex, int command) {
    HostCell* c = cell(cellIndex);
    return c && c->pluginWindow() && sendCommand(qv::handleOf(c->pluginWindow()), command, QV_CN_COMMAND, nullptr);
}

bool HostWindow::saveLayout(const QString& file, QString& error) {
    QJsonArray cells;
    for (HostCell* c : m_cells) {
        QJsonObject entry{{"cell", c->index()}};
        if (const SeriesGroup* group = m_database->groupById(c->panel()->groupId())) {
            entry["series"] = QString::fromStdString(group->seriesUid);
            entry["views"] = c->panel()->viewCount();
        }
        LoadedPlugin* plugin = c->pluginWindow() ? m_plugins.find(c->pluginId().c_str()) : nullptr;
        if (plugin) {
            // The window hands over a block of its own; its library frees it.
            char* state = nullptr;
            qv::sendMessage(qv::handleOf(c->pluginWindow()), QV_MSG_GET_STATE, 1, reinterpret_cast<intptr_t>(&state));
            entry["plugin"] = QString::fromStdString(plugin->id);
            // Byte for byte: a state may hold any byte but zero (packed image lists).
            entry["state"] = QString::fromLatin1(state ? state : "");
            if (state) plugin->freeBlock(state);
        }
        cells.append(entry);
    }
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(QJsonObject{{"cells", cells}}).toJson()) < 0) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

bool HostWindow::loadLayout(const QString& file, QString& error) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return (error = "cannot read " + file), false;
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &parse);
    if (!document.isObject()) return (error = file + ": not a layout (" + parse.errorString() + ")"), false;
    for (const QJsonValue& value : document.object().value("cells").toArray()) {
        const QJsonObject entry = value.toObject();
        HostCell* c = cell(entry.value("cell").toInt(-1));
        if (!c) continue;
        const std::string series = entry.value("series").toString().toStdString();
        for (const SeriesGroup* group : m_database->groups())
            if (!series.empty() && group->seriesUid == series) putGroupInCell(group->id, c->index(), entry.value("views").toInt(1));
        LoadedPlugin* plugin = m_plugins.find(entry.value("plugin").toString().toUtf8().constData());
        if (plugin) createPluginWindow(*plugin, *c, entry.value("state").toString().toLatin1().constData());
    }
    return true;
}

bool HostWindow::joinCollaboration(const QString& listenPort, const QString& connectTo, QString& error) {
    auto link = std::make_unique<CollaborationLink>(
        [this](const CollabFrame& frame) { deliverPeerData(frame.pluginId, frame.cellIndex, frame.payload); });
    bool ok = true;
    if (!listenPort.isEmpty()) {
        const uint port = listenPort.toUInt(&ok);
        if (!ok || port > 65535) return (error = "bad port " + listenPort), false;
        if (!link->listen(static_cast<quint16>(port), error)) return false;
    }
    if (!connectTo.isEmpty()) {
        const uint port = connectTo.section(':', -1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535) return (error = "expected HOST:PORT, got " + connectTo), false;
        if (!link->connectTo(connectTo.section(':', 0, -2), static_cast<quint16>(port), error)) return false;
    }
    m_collaboration = std::move(link);
    return true;
}

bool HostWindow::passCollaborationControl() { return m_collaboration && m_collaboration->passControl(); }

void HostWindow::deliverPeerData(const std::string& pluginId, int cellIndex, const QByteArray& bytes) {
    HostCell* target = cell(cellIndex);
    if (!target || target->pluginId() != pluginId || !target->pluginWindow()) {
        target = nullptr;
        for (HostCell* c : m_cells)
            if (!target && c->pluginWindow() && c->pluginId() == pluginId) target = c;
    }
    if (!target || bytes.isEmpty()) return;
    // The receiver reads the bytes during the call; they stay ours.
    QByteArray copy = bytes;
    qv::sendMessage(qv::handleOf(target->pluginWindow()), QV_MSG_PEER_DATA, reinterpret_cast<uintptr_t>(copy.data()),
                    static_cast<intptr_t>(copy.size()));
}

}  // namespace quarvia
