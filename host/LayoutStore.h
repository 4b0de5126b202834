#pragma once

#include <QJsonArray>
#include <QString>

namespace quarvia {

class CellGrid;
class ImagePanel;
class PluginManager;
class PluginRouter;
class ReadingState;
class StudyDatabase;

// Saves and restores the grid as a layout file: each cell's series and
// views (with their planes), each plug-in window with the state text it
// hands over, the measurements and where each series' reformats cross.
class LayoutStore {
public:
    LayoutStore(CellGrid& grid, StudyDatabase& database, ReadingState& reading, PluginManager& plugins,
                PluginRouter& router);

    bool save(const QString& file, QString& error) const;
    // Series not loaded are left out; plug-in windows are made again from
    // their state.
    bool load(const QString& file, QString& error);

private:
    static void restorePlanes(ImagePanel& panel, const QJsonArray& planes);
    CellGrid& m_grid;
    StudyDatabase& m_database;
    ReadingState& m_reading;
    PluginManager& m_plugins;
    PluginRouter& m_router;
};

}  // namespace quarvia
