#include "CellGrid.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "dicom/StudyDatabase.h"

#include <QGridLayout>

namespace quarvia {

CellGrid::CellGrid(int rows, int columns, StudyDatabase& database, ReadingState& reading, QWidget* parent)
    : QWidget(parent), m_database(database), m_reading(reading) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    setGridLayout(rows, columns);
    setActiveCell(0);
}

void CellGrid::addCell() {
    auto* cell = new HostCell(static_cast<int>(m_cells.size()), m_database, m_reading, this);
    connect(cell, &HostCell::activated, this, &CellGrid::setActiveCell);
    connect(cell, &HostCell::panelDropped, this, &CellGrid::panelDropped);
    connect(cell, &HostCell::seriesDropped, this, &CellGrid::seriesDropped);
    connect(cell, &HostCell::filesDropped, this, &CellGrid::filesDropped);
    connect(cell, &HostCell::maximiseRequested, this, &CellGrid::toggleMaximised);
    m_cells.push_back(cell);
    emit cellAdded(cell);
}

void CellGrid::setGridLayout(int rows, int columns) {
    if (rows < 1 || columns < 1) return;
    while (cellCount() < rows * columns) addCell();
    m_rows = rows;
    m_columns = columns;
    m_maximised = -1;
    arrange();
}

void CellGrid::toggleMaximised(int index) {
    if (!cell(index)) return;
    m_maximised = m_maximised >= 0 ? -1 : index;
    if (m_maximised >= 0) setActiveCell(index);
    arrange();
}

void CellGrid::arrange() {
    auto* grid = static_cast<QGridLayout*>(layout());
    for (HostCell* c : m_cells) grid->removeWidget(c);
    const int shown = m_rows * m_columns;
    for (HostCell* c : m_cells) {
        const int i = c->index();
        const bool visible = m_maximised >= 0 ? i == m_maximised : i < shown;
        if (visible) grid->addWidget(c, m_maximised >= 0 ? 0 : i / m_columns, m_maximised >= 0 ? 0 : i % m_columns);
        c->setVisible(visible);
    }
    for (int r = 0; r < grid->rowCount(); ++r) grid->setRowStretch(r, r < (m_maximised >= 0 ? 1 : m_rows) ? 1 : 0);
    for (int k = 0; k < grid->columnCount(); ++k)
        grid->setColumnStretch(k, k < (m_maximised >= 0 ? 1 : m_columns) ? 1 : 0);
    if (m_activeCell >= shown && m_maximised < 0) setActiveCell(0);
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
