// The host's entry points. The plug-in has no windows and keeps no state:
// everything happens inside QVPluginInitialize, and nothing thrown crosses
// back into the host.
#include "HostDirectory.h"
#include "PluginIdentity.h"
#include "UpdateFlow.h"
#include "VersionRecord.h"

#include "QVPluginApi.h"

#include <cstdlib>

using namespace glossan;

QV_PLUGIN_EXPORT void QVPluginInitialize(void) {
    try {
        UpdateSettings settings;
        settings.hostDirectory = hostDirectory();
        settings.offered = readOfferedVersion(ownLibraryPath());
        UpdateFlow(std::move(settings)).run();
    } catch (...) {
        // The host's start-up goes on; there is nobody to report to.
    }
}

QV_PLUGIN_EXPORT const char* QVPluginGetUniquePluginID(void) { return kPluginId; }

QV_PLUGIN_EXPORT const char* QVPluginGetHumanName(void) { return kHumanName; }

namespace {
QVWindowHandle noWindow() { return nullptr; }
}  // namespace

QV_PLUGIN_EXPORT QVWindowHandle QVPluginGetGlobalMessageWindow(void) { return noWindow(); }

QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindow(void* /*unused*/, QVWindowHandle /*cell*/) {
    return noWindow();
}

QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindowState(const char* /*stateText*/, QVWindowHandle /*cell*/) {
    return noWindow();
}

QV_PLUGIN_EXPORT void QVPluginDelete(void) {}

QV_PLUGIN_EXPORT void QVPluginFree(void* block) { std::free(block); }
