#include "LayoutStore.h"

#include "CellGrid.h"
#include "FileWrite.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "PluginManager.h"
#include "PluginRouter.h"
#include "dicom/StudyDatabase.h"

#include "QVMessage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quarvia {

LayoutStore::LayoutStore(CellGrid& grid, StudyDatabase& database, PluginManager& plugins, PluginRouter& router)
    : m_grid(grid), m_database(database), m_plugins(plugins), m_router(router) {}

bool LayoutStore::save(const QString& file, QString& error) const {
    QJsonArray cells;
    for (int i = 0; i < m_grid.cellCount(); ++i) {
        HostCell* c = m_grid.cell(i);
        QJsonObject entry{{"cell", c->index()}};
        if (const SeriesGroup* group = m_database.groupById(c->panel()->groupId())) {
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
    const FileWriteResult written = writeFileWhole(file, QJsonDocument(QJsonObject{{"cells", cells}}).toJson());
    if (!written.ok()) error = fileWriteMessage(written, file);
    return written.ok();
}

bool LayoutStore::load(const QString& file, QString& error) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return (error = "cannot read " + file), false;
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &parse);
    if (!document.isObject()) return (error = file + ": not a layout (" + parse.errorString() + ")"), false;
    for (const QJsonValue& value : document.object().value("cells").toArray()) {
        const QJsonObject entry = value.toObject();
        HostCell* c = m_grid.cell(entry.value("cell").toInt(-1));
        if (!c) continue;
        const std::string series = entry.value("series").toString().toStdString();
        for (const SeriesGroup* group : m_database.groups())
            if (!series.empty() && group->seriesUid == series)
                m_grid.putGroupInCell(group->id, c->index(), entry.value("views").toInt(1));
        LoadedPlugin* plugin = m_plugins.find(entry.value("plugin").toString().toUtf8().constData());
        if (plugin) m_router.createPluginWindow(*plugin, *c, entry.value("state").toString().toLatin1().constData());
    }
    return true;
}

}  // namespace quarvia
