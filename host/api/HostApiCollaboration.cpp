// The collaboration session as the plug-ins see it.
#include "HostApiSupport.h"

#include "HostCell.h"
#include "collab/CollaborationLink.h"

#include "QVHostApi.h"
#include "QVMessage.h"

using quarvia::host;

int QVHasCollaborationControl(void) {
    return quarvia::guarded<int>(__func__, 1, [&]() -> int {
        if (!host()) return 0;
        // Alone, the user drives; in a session, whoever holds the token does.
        return !host()->collaboration() || host()->collaboration()->hasControl() ? 1 : 0;
    });
}

int QVSendDataToCollaborationPeers(QVWindowHandle window, const char* data, int length, int) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        if (!host() || !host()->collaboration() || !data || length <= 0) return 0;
        quarvia::HostCell* cell = host()->grid().cellOfWindow(qv::widgetOf(window));
        if (!cell) return 0;
        const QByteArray bytes(data, length);
        return host()->collaboration()->send(cell->pluginId(), cell->index(), bytes) > 0 ? 1 : 0;
    });
}
