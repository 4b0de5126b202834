#pragma once

#include "QVPluginApi.h"

#include <cstdint>

namespace v3d {

// Answers a routed-command message (WM_APP+0) by calling the receiver's
// command handler: onCommand(command, code, extra, handlerInfo) -> handled.
// Null record or pointer pair answers 0 and changes nothing; when handled,
// bit 0 of the flags is set and the answer is 1.
template <typename Receiver>
intptr_t routeCommandMessage(Receiver& receiver, uintptr_t wParam, intptr_t lParam) {
    auto* record = reinterpret_cast<QVRoutedCommand*>(wParam);
    auto* pointers = reinterpret_cast<QVCommandPointers*>(lParam);
    if (!record || !pointers) return 0;
    if (!receiver.onCommand(record->command, record->code, pointers->extra, pointers->handlerInfo)) return 0;
    record->flags |= 1;
    return 1;
}

// The state record of an update query, or null when the call is not one.
inline QVCommandState* commandStateOf(int code, void* extra) {
    return code == QV_CN_UPDATE_COMMAND_UI ? static_cast<QVCommandState*>(extra) : nullptr;
}

}  // namespace v3d
