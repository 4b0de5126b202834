// Helpers shared by the exported host functions.
#pragma once

#include "CellGrid.h"
#include "HostWindow.h"
#include "PluginRouter.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace quarvia {

inline HostWindow* host() { return HostWindow::instance(); }

// The series groups that plug-ins hold volumes of (what their 3D windows show).
std::vector<int> liveVolumeGroups();

// A malloc'd copy the plug-in releases with QVFree; null when out of memory.
char* duplicate(const QString& text);
char* duplicate(const std::string& text);

// Group handles are the database's group ids.
inline QVGroupHandle groupHandle(int id) { return reinterpret_cast<QVGroupHandle>(static_cast<uintptr_t>(id)); }
inline int groupIdOf(QVGroupHandle handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value > 0 && value < 0x7FFFFFFF ? static_cast<int>(value) : 0;
}

// Writes what escaped a host function to the error stream; never throws.
void reportEscaped(const char* function, const char* what) noexcept;

// Runs a host function's body: nothing thrown in it (out of memory, a
// failing library) crosses into the plug-in, which sees the fallback answer.
template <typename Result, typename Body>
Result guarded(const char* function, Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& e) {
        reportEscaped(function, e.what());
    } catch (...) {
        reportEscaped(function, "unknown exception");
    }
    return fallback;
}

template <typename Body>
void guardedVoid(const char* function, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& e) {
        reportEscaped(function, e.what());
    } catch (...) {
        reportEscaped(function, "unknown exception");
    }
}

}  // namespace quarvia
