// Plug-in windows, menus, places, panels and views.
#include "HostApiSupport.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "dicom/StudyDatabase.h"

#include "QVHostApi.h"
#include "QVMessage.h"

using quarvia::host;

void QVAddMenu(const char* id, int, const char* path, int command, int separator) {
    quarvia::guardedVoid(__func__, [&] {
        if (host()) host()->router().addPluginMenu(id, path, command, separator != 0);
    });
}
void QVAddButtonToPluginToolbar(const char* id, int command, int updateCommand, const QVMonoBitmap* bitmap) {
    quarvia::guardedVoid(__func__, [&] {
        if (host()) host()->router().addPluginButton(id, command, updateCommand, bitmap);
    });
}
QVWindowHandle QVCreateWindowInActiveCell(const char* id, int) {
    return quarvia::guarded<QVWindowHandle>(__func__, nullptr, [&]() -> QVWindowHandle {
        if (!host()) return nullptr;
        quarvia::LoadedPlugin* plugin = host()->plugins().find(id);
        quarvia::HostCell* cell = host()->grid().activeCell();
        if (!plugin || !cell) return nullptr;
        return host()->router().createPluginWindow(*plugin, *cell, nullptr);
    });
}
QVWindowHandle QVCreateWindowInPlace(const char* id, QVPlaceHandle place, int) {
    return quarvia::guarded<QVWindowHandle>(__func__, nullptr, [&]() -> QVWindowHandle {
        if (!host()) return nullptr;
        quarvia::LoadedPlugin* plugin = host()->plugins().find(id);
        quarvia::HostCell* cell = host()->grid().cellOfPlace(place);
        if (!plugin || !cell) return nullptr;
        return host()->router().createPluginWindow(*plugin, *cell, nullptr);
    });
}
void QVDestroyPluginWindow(QVWindowHandle window) {
    quarvia::guardedVoid(__func__, [&] {
        // Only windows the host placed in a cell: anything else is not ours to delete.
        if (!host()) return;
        if (quarvia::HostCell* cell = host()->grid().cellOfWindow(qv::widgetOf(window))) host()->router().destroyPluginWindow(cell->pluginWindow());
    });
}
void QVActivateInGrid(QVWindowHandle window) {
    quarvia::guardedVoid(__func__, [&] {
        if (!host()) return;
        if (quarvia::HostCell* cell = host()->grid().cellOfWindow(qv::widgetOf(window))) host()->grid().setActiveCell(cell->index());
    });
}
void QVUpdateTool(QVWindowHandle, int) {}

QVPlaceHandle QVGetPlaceOfWindow(QVWindowHandle window) {
    return quarvia::guarded<QVPlaceHandle>(__func__, nullptr, [&]() -> QVPlaceHandle {
        quarvia::HostCell* cell = host() ? host()->grid().cellOfWindow(qv::widgetOf(window)) : nullptr;
        return cell ? quarvia::CellGrid::placeOf(*cell) : nullptr;
    });
}
QVPlaceHandle QVGetPlaceOfImagePanel(QVPanelHandle panel) {
    return quarvia::guarded<QVPlaceHandle>(__func__, nullptr, [&]() -> QVPlaceHandle {
        quarvia::ImagePanel* p = host() ? host()->grid().panelOf(panel) : nullptr;
        return p ? quarvia::CellGrid::placeOf(*host()->grid().cell(p->cellIndex())) : nullptr;
    });
}
QVPanelHandle QVGetImagePanelOfPlace(QVPlaceHandle place) {
    return quarvia::guarded<QVPanelHandle>(__func__, nullptr, [&]() -> QVPanelHandle {
        quarvia::HostCell* cell = host() ? host()->grid().cellOfPlace(place) : nullptr;
        return cell && cell->panel()->groupId() ? quarvia::CellGrid::handleOf(cell->panel()) : nullptr;
    });
}
QVPanelHandle QVGetImagePanelOfView(QVViewHandle view) {
    return quarvia::guarded<QVPanelHandle>(__func__, nullptr, [&]() -> QVPanelHandle {
        quarvia::ImagePanel* panel = nullptr;
        return host() && host()->grid().viewOf(view, &panel) ? quarvia::CellGrid::handleOf(panel) : nullptr;
    });
}
int QVPutGroupToPlace(QVPlaceHandle place, QVGroupHandle group) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        quarvia::HostCell* cell = host() ? host()->grid().cellOfPlace(place) : nullptr;
        return cell && host()->grid().putGroupInCell(quarvia::groupIdOf(group), cell->index()) ? 1 : 0;
    });
}
// Places are cell numbers, nothing to release.
void QVReleasePlace(QVPlaceHandle) {}

int QVGetViewCount(QVPanelHandle panel) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        quarvia::ImagePanel* p = host() ? host()->grid().panelOf(panel) : nullptr;
        return p ? p->viewCount() : 0;
    });
}
QVViewHandle QVGetView(QVPanelHandle panel, int index) {
    return quarvia::guarded<QVViewHandle>(__func__, nullptr, [&]() -> QVViewHandle {
        quarvia::ImagePanel* p = host() ? host()->grid().panelOf(panel) : nullptr;
        return p && p->view(index) ? quarvia::CellGrid::handleOf(p->view(index)) : nullptr;
    });
}
int QVGetActiveView(QVPanelHandle panel) {
    return quarvia::guarded<int>(__func__, -1, [&]() -> int {
        quarvia::ImagePanel* p = host() ? host()->grid().panelOf(panel) : nullptr;
        return p ? p->activeView() : -1;
    });
}
void QVSetActiveView(QVPanelHandle panel, int index) {
    quarvia::guardedVoid(__func__, [&] {
        if (quarvia::ImagePanel* p = host() ? host()->grid().panelOf(panel) : nullptr) p->setActiveView(index);
    });
}
uint32_t QVGetImagePanelBackground(void) { return 0x00201818u; }
