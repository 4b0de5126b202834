#pragma once

#include "QVPluginApi.h"

#include <QWidget>

#include <vector>

namespace quarvia {

class HostCell;
class ImagePanel;
class StudyDatabase;
struct PanelView;

// The grid of cells in the main window: which cell is active, what each
// shows, and the handles the plug-ins hold for cells (places), panels and
// views. Handles are only compared, never trusted: anything this grid did
// not hand out finds nothing.
class CellGrid : public QWidget {
    Q_OBJECT
public:
    CellGrid(int rows, int columns, StudyDatabase& database, QWidget* parent);

    int cellCount() const { return static_cast<int>(m_cells.size()); }
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

private:
    StudyDatabase& m_database;
    std::vector<HostCell*> m_cells;  // children of this widget
    int m_activeCell = 0;
};

}  // namespace quarvia
