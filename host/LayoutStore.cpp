#include "LayoutStore.h"

#include "CellGrid.h"
#include "FileWrite.h"
#include "HostCell.h"
#include "ImagePanel.h"
#include "PluginManager.h"
#include "PluginRouter.h"
#include "dicom/StudyDatabase.h"
#include "reading/ReadingLayout.h"
#include "reading/ReadingState.h"

#include "QVMessage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quarvia {

LayoutStore::LayoutStore(CellGrid& grid, StudyDatabase& database, ReadingState& reading, PluginManager& plugins,
                         PluginRouter& router)
    : m_grid(grid), m_database(database), m_reading(reading), m_plugins(plugins), m_router(router) {}

bool LayoutStore::save(const QString& file, QString& error) const {
    QJsonArray cells;
    for (int i = 0; i < m_grid.cellCount(); ++i) {
        HostCell* c = m_grid.cell(i);
        QJsonObject entry{{"cell", c->index()}};
        if (const SeriesGroup* group = m_database.groupById(c->panel()->groupId())) {
            entry["series"] = QString::fromStdString(group->seriesUid);
            entry["views"] = c->panel()->viewCount();
            QJsonArray planes;
            for (int v = 0; v < c->panel()->viewCount(); ++v) {
                const PanelView* view = c->panel()->view(v);
                planes.append(QJsonObject{{"plane", planeName(view->plane)}, {"slab", slabName(view->slab)},
                                          {"slabMm", view->slabMm}, {"image", view->imageIndex}});
            }
            entry["planes"] = planes;
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
    QJsonArray crossings;
    for (const SeriesGroup* group : m_database.groups())
        if (const PlaneFrame* frame = m_reading.knownFrame(group->id))
            crossings.append(QJsonObject{{"series", QString::fromStdString(group->seriesUid)},
                                         {"point", vecToJson(frame->point)},
                                         {"axes", QJsonArray{vecToJson(frame->axes[0]), vecToJson(frame->axes[1]),
                                                             vecToJson(frame->axes[2])}}});
    const QJsonObject layout{{"cells", cells},
                             {"measurements", measurementsToJson(m_reading.measurements())},
                             {"crossings", crossings}};
    const FileWriteResult written = writeFileWhole(file, QJsonDocument(layout).toJson());
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
            if (!series.empty() && group->seriesUid == series) {
                m_grid.putGroupInCell(group->id, c->index(), entry.value("views").toInt(1));
                restorePlanes(*c->panel(), entry.value("planes").toArray());
            }
        LoadedPlugin* plugin = m_plugins.find(entry.value("plugin").toString().toUtf8().constData());
        if (plugin) m_router.createPluginWindow(*plugin, *c, entry.value("state").toString().toLatin1().constData());
    }
    for (const QJsonValue& value : document.object().value("crossings").toArray()) {
        const QJsonObject entry = value.toObject();
        const std::string series = entry.value("series").toString().toStdString();
        Vec3d point;
        PlaneAxes axes;
        const QJsonArray axesJson = entry.value("axes").toArray();
        bool sound = vecFromJson(entry.value("point"), point) && axesJson.size() == 3;
        for (int a = 0; sound && a < 3; ++a) sound = vecFromJson(axesJson[a], axes[size_t(a)]);
        if (!sound) continue;
        for (const SeriesGroup* group : m_database.groups())
            if (group->seriesUid == series) m_reading.restoreFrame(group->id, point, axes);
    }
    m_reading.clearMeasurements();
    for (Measurement& m : measurementsFromJson(document.object().value("measurements").toArray()))
        m_reading.addMeasurement(std::move(m));
    return true;
}

void LayoutStore::restorePlanes(ImagePanel& panel, const QJsonArray& planes) {
    for (int v = 0; v < panel.viewCount() && v < planes.size(); ++v) {
        const QJsonObject entry = planes[v].toObject();
        PanelView* view = panel.view(v);
        PlaneKind kind = PlaneKind::Acquired;
        SlabMode slab = SlabMode::Off;
        if (planeFromName(entry.value("plane").toString(), kind) && kind != PlaneKind::Acquired) {
            panel.setActiveView(v);
            QString why;
            panel.setPlane(kind, why);  // a series that no longer forms a volume stays acquired
        }
        if (slabFromName(entry.value("slab").toString(), slab)) panel.setSlab(slab, entry.value("slabMm").toDouble(10));
        view->imageIndex = std::max(0, entry.value("image").toInt(view->imageIndex));  // clamped where it is read
    }
    panel.setActiveView(0);
}

}  // namespace quarvia
