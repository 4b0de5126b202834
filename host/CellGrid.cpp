#include "CellGrid.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "dicom/StudyDatabase.h"

#include <QGridLayout>

namespace quarvia {

CellGrid::CellGrid(int rows, int columns, StudyDatabase& database, QWidget* parent)
    : QWidget(parent), m_database(database) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            auto* cell = new HostCell(static_cast<int>(m_cells.size()), database, this);
            connect(cell, &HostCell::activated, this, &CellGrid::setActiveCell);
            connect(cell, &HostCell::panelDropped, this, &CellGrid::panelDropped);
            layout->addWidget(cell, r, c);
            m_cells.push_back(cell);
        }
    setActiveCell(0);
}

HostCell* CellGrid::cell(int index) const {
    return index >= 0 && index < cellCount() ? m_cells[static_cast<size_t>(index)] : nullptr;
}

HostCell* CellGrid::activeCell() const { return cell(m_activeCell); }

void CellGrid::setActiveCell(int index) {
    if (!cell(index)) return;
    m_activeCell = index;
    for (HostCell* c : m_cells) c->setActive(c->index() == index);
}

HostCell* CellGrid::cellOfWindow(QWidget* window) const {
    if (!window) return nullptr;
    // A plug-in may name its window or any widget inside it (its view). Only
    // pointers are compared: a stale handle is never dereferenced.
    for (HostCell* c : m_cells)
        if (c->pluginWindow() == window) return c;
    for (HostCell* c : m_cells)
        if (c->pluginWindow() && c->pluginWindow()->findChildren<QWidget*>().contains(window)) return c;
    return nullptr;
}

bool CellGrid::putGroupInCell(int groupId, int cellIndex, int viewCount) {
    HostCell* c = cell(cellIndex);
    if (!c || !m_database.groupById(groupId)) return false;
    c->panel()->setGroup(groupId, viewCount);
    c->panel()->show();
    return true;
}

bool CellGrid::showsAnySeries() const {
    for (HostCell* c : m_cells)
        if (c->panel()->groupId() != 0) return true;
    return false;
}

void CellGrid::repaintPanels() {
    for (HostCell* c : m_cells) c->panel()->update();
}

void CellGrid::clearPanels() {
    for (HostCell* c : m_cells) c->panel()->clear();
}

ImagePanel* CellGrid::panelOf(QVPanelHandle handle) const {
    for (HostCell* c : m_cells)
        if (handleOf(c->panel()) == handle && handle) return c->panel();
    return nullptr;
}

PanelView* CellGrid::viewOf(QVViewHandle handle, ImagePanel** panel) const {
    if (!handle) return nullptr;
    for (HostCell* c : m_cells)
        for (int i = 0; i < c->panel()->viewCount(); ++i)
            if (handleOf(c->panel()->view(i)) == handle) {
                if (panel) *panel = c->panel();
                return c->panel()->view(i);
            }
    return nullptr;
}

// A place is a cell: its index plus one, so that null stays "no place".
QVPlaceHandle CellGrid::placeOf(const HostCell& cell) {
    return reinterpret_cast<QVPlaceHandle>(static_cast<uintptr_t>(cell.index()) + 1);
}

HostCell* CellGrid::cellOfPlace(QVPlaceHandle handle) const {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value == 0 || value > m_cells.size() ? nullptr : cell(static_cast<int>(value - 1));
}

}  // namespace quarvia
