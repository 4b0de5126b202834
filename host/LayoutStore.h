#pragma once

#include <QString>

namespace quarvia {

class CellGrid;
class PluginManager;
class PluginRouter;
class StudyDatabase;

// Saves and restores the grid as a layout file: each cell's series and
// views, and each plug-in window with the state text it hands over.
class LayoutStore {
public:
    LayoutStore(CellGrid& grid, StudyDatabase& database, PluginManager& plugins, PluginRouter& router);

    bool save(const QString& file, QString& error) const;
    // Series not loaded are left out; plug-in windows are made again from
    // their state.
    bool load(const QString& file, QString& error);

private:
    CellGrid& m_grid;
    StudyDatabase& m_database;
    PluginManager& m_plugins;
    PluginRouter& m_router;
};

}  // namespace quarvia
