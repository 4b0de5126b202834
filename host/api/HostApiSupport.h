// Helpers shared by the exported host functions.
#pragma once

#include "HostWindow.h"

#include <QString>

#include <cstdint>
#include <string>

namespace quarvia {

inline HostWindow* host() { return HostWindow::instance(); }

// A malloc'd copy the plug-in releases with QVFree; null when out of memory.
char* duplicate(const QString& text);
char* duplicate(const std::string& text);

// Group handles are the database's group ids.
inline QVGroupHandle groupHandle(int id) { return reinterpret_cast<QVGroupHandle>(static_cast<uintptr_t>(id)); }
inline int groupIdOf(QVGroupHandle handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value > 0 && value < 0x7FFFFFFF ? static_cast<int>(value) : 0;
}

}  // namespace quarvia
