// The host window's studies, panels and the handles that name them.
#include "HostWindow.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "dicom/StudyDatabase.h"

#include "QVMessage.h"

#include <QFileDialog>
#include <QStandardPaths>

#include <cstdio>

namespace quarvia {

QStringList HostWindow::openPaths(const QStringList& paths) {
    const QStringList problems = m_database->addPaths(paths);
    for (const QString& problem : problems) std::fprintf(stderr, "quarvia: skipped %s\n", qPrintable(problem));
    // The first group goes into the first empty cell, as a viewer shows a new study.
    const std::vector<const SeriesGroup*> groups = m_database->groups();
    bool shown = false;
    for (HostCell* c : m_cells) shown = shown || c->panel()->groupId() != 0;
    if (!shown && !groups.empty()) putGroupInCell(groups.front()->id, 0);
    for (HostCell* c : m_cells) c->panel()->update();
    return problems;
}

void HostWindow::openFromMenu(bool folder) {
    QStringList paths;
    if (folder) {
        const QString dir = QFileDialog::getExistingDirectory(this, "Open DICOM Folder");
        if (!dir.isEmpty()) paths << dir;
    } else {
        paths = QFileDialog::getOpenFileNames(this, "Open DICOM Files");
    }
    if (paths.isEmpty()) return;
    const QStringList problems = openPaths(paths);
    if (!problems.isEmpty()) messageBox(problems.join('\n'), "Open", QV_MB_OK | QV_MB_ICONEXCLAMATION);
}

bool HostWindow::putGroupInCell(int groupId, int cellIndex, int viewCount) {
    HostCell* c = cell(cellIndex);
    if (!c || !m_database->groupById(groupId)) return false;
    c->panel()->setGroup(groupId, viewCount);
    c->panel()->show();
    return true;
}

bool HostWindow::dropPanel(int fromCell, int toCell) {
    HostCell* from = cell(fromCell);
    HostCell* to = cell(toCell);
    if (!from || !to || from == to || !from->panel()->groupId()) return false;
    setActiveCell(toCell);
    if (QWidget* window = to->pluginWindow()) {
        qv::sendMessage(qv::handleOf(window), QV_MSG_DROP_PANEL, reinterpret_cast<uintptr_t>(handleOf(from->panel())), 0);
        return true;
    }
    return putGroupInCell(from->panel()->groupId(), toCell);
}

ImagePanel* HostWindow::panelOf(QVPanelHandle handle) const {
    for (HostCell* c : m_cells)
        if (handleOf(c->panel()) == handle && handle) return c->panel();
    return nullptr;
}

PanelView* HostWindow::viewOf(QVViewHandle handle, ImagePanel** panel) const {
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
QVPlaceHandle HostWindow::placeOf(const HostCell& cell) {
    return reinterpret_cast<QVPlaceHandle>(static_cast<uintptr_t>(cell.index()) + 1);
}

HostCell* HostWindow::cellOfPlace(QVPlaceHandle handle) const {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value == 0 || value > m_cells.size() ? nullptr : cell(static_cast<int>(value - 1));
}

QString HostWindow::outputFolder() const {
    if (!m_options.outputFolder.isEmpty()) return m_options.outputFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/quarvia/output";
}

}  // namespace quarvia
