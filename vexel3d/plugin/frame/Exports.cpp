// The twelve functions the host calls. Each switches to the plug-in's
// module state and lets nothing thrown escape into the host.
#include "plugin/frame/CBackground.h"
#include "plugin/frame/CMessage.h"
#include "plugin/frame/CV3dApp.h"
#include "plugin/frame/ModuleStateGuard.h"
#include "plugin/paint/PluginBitmaps.h"
#include "plugin/frame/PluginIdentity.h"

#include "QVPluginApi.h"

#include <QDialog>

#include <cstdlib>
#include <memory>

using namespace v3d;

namespace {

struct MenuEntry {
    const char* path;
    int command;
    int separator;
};

constexpr MenuEntry kMenu[] = {
    {"&Postprocessing\\Vexel 3D\\&Create", CMD_CREATE, 0},
    {"&Postprocessing\\Vexel 3D\\&Delete", CMD_DELETE, 0},
    {"&Postprocessing\\Vexel 3D", 0, 1},
    {"&Postprocessing\\Vexel 3D\\&Remove", CMD_REMOVE, 0},
    {"&Postprocessing\\Vexel 3D", 0, 1},
    {"&Postprocessing\\Vexel 3D\\Configure", CMD_CONFIGURE, 0},
    {"&Postprocessing\\Vexel 3D", 0, 1},
    {"&Postprocessing\\Vexel 3D\\Re&fresh", CMD_REFRESH, 0},
    {"&Postprocessing\\Vexel 3D", 0, 1},
    {"&Postprocessing\\Vexel 3D\\&Undo segmentation step", CMD_UNDO_SEGMENTATION, 0},
    {"&Postprocessing\\Vexel 3D\\Save segmentation as DICOM...", CMD_SAVE_SEGMENTATION, 0},
    {"&Postprocessing\\Vexel 3D\\Open segmentation from DICOM...", CMD_OPEN_SEGMENTATION, 0},
};

QVWindowHandle createWindow(QVWindowHandle cell) {
    CBackground* window = CBackground::createInCell(reinterpret_cast<QWidget*>(cell));
    return window ? window->handle() : nullptr;
}

}  // namespace

QV_PLUGIN_EXPORT void QVPluginInitialize(void) {
    guardedExportVoid([] {
        try {
            theApp().setMessageWindow(std::make_unique<CMessage>());
        } catch (...) {
            // A failed message window is silent: the plug-in then gets no
            // global messages, and initialisation goes on.
        }
        for (const MenuEntry& entry : kMenu) QVAddMenu(kPluginId, 0, entry.path, entry.command, entry.separator);
        QVAddButtonToPluginToolbar(kPluginId, CMD_CREATE, CMD_DELETE, &toolbarButtonBitmap());
    });
}

QV_PLUGIN_EXPORT const char* QVPluginGetUniquePluginID(void) { return kPluginId; }

QV_PLUGIN_EXPORT const char* QVPluginGetHumanName(void) { return kHumanName; }

QV_PLUGIN_EXPORT QVWindowHandle QVPluginGetGlobalMessageWindow(void) {
    return guardedExport<QVWindowHandle>(nullptr, [] {
        CMessage* window = theApp().messageWindow();
        return window ? reinterpret_cast<QVWindowHandle>(static_cast<QWidget*>(window)) : nullptr;
    });
}

QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindow(void* /*unused*/, QVWindowHandle cell) {
    return guardedExport<QVWindowHandle>(nullptr, [cell] { return createWindow(cell); });
}

QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindowState(const char* stateText, QVWindowHandle cell) {
    return guardedExport<QVWindowHandle>(nullptr, [stateText, cell] {
        QVWindowHandle handle = createWindow(cell);
        if (handle && stateText)
            reinterpret_cast<CBackground*>(reinterpret_cast<QWidget*>(handle))->handlePeerText(stateText);
        return handle;
    });
}

QV_PLUGIN_EXPORT void QVPluginDelete(void) {
    guardedExportVoid([] { theApp().destroyMessageWindow(); });
}

QV_PLUGIN_EXPORT void QVPluginFree(void* block) { std::free(block); }

QV_PLUGIN_EXPORT int QVPluginMFCOnIdle(void) {
    guardedExportVoid([] { theApp().runIdle(); });
    return 0;
}

QV_PLUGIN_EXPORT int QVPluginMFCPreTranslateMessage(QVNativeMessage* /*message*/) {
    // Qt translates accelerators, dialog keys and tool tips as it delivers
    // events, so there is nothing to take out of the host's stream.
    return guardedExport<int>(0, [] { return 0; });
}

QV_PLUGIN_EXPORT int QVPluginMFCDialogModal(void* dialog) {
    return guardedExport<int>(0, [dialog] { return dialog ? static_cast<QDialog*>(dialog)->exec() : 0; });
}

QV_PLUGIN_EXPORT int QVPluginMFCCancelDialogModal(void* dialog) {
    guardedExportVoid([dialog] {
        if (dialog) static_cast<QDialog*>(dialog)->done(2);
    });
    return 2;
}
