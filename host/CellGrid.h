#pragma once

#include "QVPluginApi.h"

#include <QWidget>

#include <vector>

namespace quarvia {

class HostCell;
class ImagePanel;
class ReadingState;
class StudyDatabase;
struct PanelView;

// The grid of cells in the main window: which cell is active, what each
// shows, and the handles the plug-ins hold for cells (places), panels and
// views. Handles are only compared, never trusted: anything this grid did
// not hand out finds nothing.
class CellGrid : public QWidget {
    Q_OBJECT
public:
    CellGrid(int rows, int columns, StudyDatabase& database, ReadingState& reading, QWidget* parent);

    int cellCount() const { return static_cast<int>(m_cells.size()); }
    // Shows rows x columns cells (more are made when needed; cells are never
    // removed, the plug-ins hold places by index) and ends a maximised cell.
    void setGridLayout(int rows, int columns);
    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    // One cell over the whole grid, or back to the grid.
    void toggleMaximised(int index);
    int maximisedCell() const { return m_maximised; }
    HostCell* cell(int index) const;
    HostCell* activeCell() const;
    void setActiveCell(int index);
    // The cell holding a plug-in window, or any widget inside one.
    HostCell* cellOfWindow(QWidget* window) const;

    // Shows a group in a cell's panel; false for an unknown group or cell.
    bool putGroupInCell(int groupId, int cellIndex, int viewCount = 1);
    // True when some cell's panel shows a series.
    bool showsAnySeries() const;
    void repaintPanels();
    // Empties every panel (they read the database while they show a series).
    void clearPanels();

    ImagePanel* panelOf(QVPanelHandle handle) const;
    PanelView* viewOf(QVViewHandle handle, ImagePanel** panel = nullptr) const;
    HostCell* cellOfPlace(QVPlaceHandle handle) const;
    static QVPanelHandle handleOf(ImagePanel* panel) { return reinterpret_cast<QVPanelHandle>(panel); }
    static QVViewHandle handleOf(PanelView* view) { return reinterpret_cast<QVViewHandle>(view); }
    static QVPlaceHandle placeOf(const HostCell& cell);

signals:
    // The user dragged the panel of one cell onto another.
    void panelDropped(int fromCell, int toCell);
    // A series from the study browser, files or folders from the desktop.
    void seriesDropped(int groupId, int toCell);
    void filesDropped(const QStringList& paths, int toCell);
    // A cell made after the grid's first layout (a larger layout chosen).
    void cellAdded(QWidget* cell);

private:
    void addCell();
    void arrange();

    StudyDatabase& m_database;
    ReadingState& m_reading;
    int m_rows = 1, m_columns = 1;
    int m_maximised = -1;
    std::vector<HostCell*> m_cells;  // children of this widget
    int m_activeCell = 0;
};

}  // namespace quarvia
