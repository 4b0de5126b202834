// The host's entry points. The plug-in has no windows and keeps no state:
// everything happens inside QVPluginInitialize, and nothing thrown crosses
// back into the host.
#include "HostDirectory.h"
#include "PluginIdentity.h"
#include "UpdateFlow.h"
#include "VersionRecord.h"

#include "QVPluginApi.h"

#include <signal.h>

#include <cstdlib>

using namespace glossan;

namespace {

// A file-size limit must fail a write, not end the host: while the check
// runs, the signal that would do so is ignored (unless the host handles it).
class IgnoreFileSizeSignal {
public:
    IgnoreFileSizeSignal() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        m_changed = sigaction(SIGXFSZ, nullptr, &m_previous) == 0 && m_previous.sa_handler == SIG_DFL &&
                    sigaction(SIGXFSZ, &ignore, nullptr) == 0;
    }
    ~IgnoreFileSizeSignal() {
        if (m_changed) sigaction(SIGXFSZ, &m_previous, nullptr);
    }

private:
    struct sigaction m_previous {};
    bool m_changed = false;
};

}  // namespace

QV_PLUGIN_EXPORT void QVPluginInitialize(void) {
    const IgnoreFileSizeSignal ignoreFileSize;
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
