// The functions this host exports to its plug-ins. Studies, volumes, new
// files and the collaboration link are not part of this host yet: those
// calls answer "nothing there" (null, 0) so that a plug-in sees an empty
// viewer, never a crash.
#include "HostCell.h"
#include "HostWindow.h"

#include "QVHostApi.h"
#include "QVMessage.h"

#include <cstdlib>
#include <cstring>

using quarvia::HostWindow;

namespace {
HostWindow* host() { return HostWindow::instance(); }

char* duplicate(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(bytes.size()) + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
    return copy;
}
}  // namespace

void QVFree(void* block) { std::free(block); }

int QVGetProfileBool(const char* id, int scope, const char* section, const char* key, int def) {
    return host() ? host()->profile().readBool(id, scope, section, key, def != 0) : def;
}
int QVGetProfileInt(const char* id, int scope, const char* section, const char* key, int def) {
    return host() ? host()->profile().readInt(id, scope, section, key, def) : def;
}
char* QVGetProfileString(const char* id, int scope, const char* section, const char* key, const char* def) {
    const QString fallback = QString::fromUtf8(def ? def : "");
    return duplicate(host() ? host()->profile().readString(id, scope, section, key, fallback) : fallback);
}
void QVWriteProfileBool(const char* id, int scope, const char* section, const char* key, int value) {
    if (host()) host()->profile().write(id, scope, section, key, value ? 1 : 0);
}
void QVWriteProfileInt(const char* id, int scope, const char* section, const char* key, int value) {
    if (host()) host()->profile().write(id, scope, section, key, value);
}
void QVWriteProfileString(const char* id, int scope, const char* section, const char* key, const char* value) {
    if (host()) host()->profile().write(id, scope, section, key, QString::fromUtf8(value ? value : ""));
}

void QVAddMenu(const char* id, int, const char* path, int command, int separator) {
    if (host()) host()->addPluginMenu(id, path, command, separator != 0);
}
void QVAddButtonToPluginToolbar(const char* id, int command, int updateCommand, const QVMonoBitmap* bitmap) {
    if (host()) host()->addPluginButton(id, command, updateCommand, bitmap);
}
QVWindowHandle QVCreateWindowInActiveCell(const char* id, int) {
    if (!host()) return nullptr;
    quarvia::LoadedPlugin* plugin = host()->plugins().find(id);
    quarvia::HostCell* cell = host()->activeCell();
    if (!plugin || !cell) return nullptr;
    return host()->createPluginWindow(*plugin, *cell, nullptr);
}
QVWindowHandle QVCreateWindowInPlace(const char*, QVPlaceHandle, int) { return nullptr; }
void QVDestroyPluginWindow(QVWindowHandle window) {
    if (host()) host()->destroyPluginWindow(qv::widgetOf(window));
}
void QVActivateInGrid(QVWindowHandle window) {
    if (!host()) return;
    if (quarvia::HostCell* cell = host()->cellOfWindow(qv::widgetOf(window))) host()->setActiveCell(cell->index());
}
void QVUpdateTool(QVWindowHandle, int) {}
QVPlaceHandle QVGetPlaceOfWindow(QVWindowHandle) { return nullptr; }
QVPlaceHandle QVGetPlaceOfImagePanel(QVPanelHandle) { return nullptr; }
QVPanelHandle QVGetImagePanelOfPlace(QVPlaceHandle) { return nullptr; }
QVPanelHandle QVGetImagePanelOfView(QVViewHandle) { return nullptr; }
int QVPutGroupToPlace(QVPlaceHandle, QVGroupHandle) { return 0; }
void QVReleasePlace(QVPlaceHandle) {}
int QVGetViewCount(QVPanelHandle) { return 0; }
QVViewHandle QVGetView(QVPanelHandle, int) { return nullptr; }
int QVGetActiveView(QVPanelHandle) { return -1; }
void QVSetActiveView(QVPanelHandle, int) {}
uint32_t QVGetImagePanelBackground(void) { return 0x00201818u; }

char* QVGetActiveImage(void) { return nullptr; }
char* QVGetImageID(QVViewHandle) { return nullptr; }
char* QVGetGroupImageID(QVGroupHandle, int) { return nullptr; }
QVGroupHandle QVGetGroupOfImage(const char*) { return nullptr; }
int QVGetImageCount(QVGroupHandle) { return 0; }
int QVGetStudyCount(void) { return 0; }
char* QVGetStudyUID(int) { return nullptr; }
int QVGetGroupCount(const char*) { return 0; }
QVGroupHandle QVGetGroup(const char*, int) { return nullptr; }
char* QVGetSeriesUID(const char*) { return nullptr; }
char* QVImageSOPInstanceUID(const char*) { return nullptr; }
int QVImageGetRows(const char*) { return 0; }
int QVImageGetColumns(const char*) { return 0; }
int QVImageGetType(const char*) { return 1; }
int QVCanDeleteImage(const char*, const char*) { return 0; }
int QVDeleteImage(const char*, const char*) { return 0; }
int QVGetWindowLevel(QVViewHandle, WindowLevelRecord*) { return 0; }

QVDatasetHandle QVGetDicomDataSet(const char*) { return nullptr; }
char* QVGetDicomStringArray(QVDatasetHandle, uint16_t, uint16_t) { return nullptr; }
uint8_t* QVGetDicomUint8Array(QVDatasetHandle, uint16_t, uint16_t, int32_t* length) {
    if (length) *length = 0;
    return nullptr;
}

QVVolumeRecord* QVCreateVolume(int, const char* const*, int) { return nullptr; }
void QVUpdateVolume(QVVolumeRecord*) {}
void QVReleaseVolume(QVVolumeRecord*) {}
double QVGetCompletionRate(const char*) { return 1.0; }
double QVGetCompressionRate(const char*) { return 1.0; }
double QVGetDownloadRate(const char*) { return 1.0; }
int QVIsLossless(const char*) { return 1; }
void QVSetMagicX(int32_t, double, double, double) {}
int QVIsMessageWaiting(void) { return 0; }

QVNewFileHandle QVCreateNewDicomFile(const char*, const char*, const void*, int, int, int, const char*) { return nullptr; }
int QVNewFileSetDatasetFloat64(QVNewFileHandle, uint16_t, uint16_t, const double*, int) { return 0; }
int QVNewFileSetDatasetUint16(QVNewFileHandle, uint16_t, uint16_t, const uint16_t*, int) { return 0; }
int QVNewFileSetDatasetString(QVNewFileHandle, uint16_t, uint16_t, const char*) { return 0; }
int QVNewFileSetDatasetUint8(QVNewFileHandle, uint16_t, uint16_t, const uint8_t*, int) { return 0; }
int QVNewFileRemoveDatasetTag(QVNewFileHandle, uint16_t, uint16_t) { return 0; }
int QVNewFileNewSeriesUID(QVNewFileHandle, const char*, int) { return 0; }
char* QVNewFileAddToViewer(QVNewFileHandle) { return nullptr; }
void QVDestroyNewFile(QVNewFileHandle) {}

int QVHasCollaborationControl(void) { return 0; }
int QVSendDataToCollaborationPeers(QVWindowHandle, const char*, int, int) { return 0; }

int QVMessageBox(const char* text, const char* caption, uint32_t flags) {
    if (!host()) return QV_IDOK;
    return host()->messageBox(QString::fromUtf8(text ? text : ""), QString::fromUtf8(caption ? caption : ""), flags);
}
char* QVGetCurrentServer(void) { return duplicate(host() ? host()->currentServer() : QString()); }
