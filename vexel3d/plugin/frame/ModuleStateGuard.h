#pragma once

#include <exception>
#include <utility>

namespace v3d {

// Where the plug-in's framework state would be made current for the length
// of an exported call. Qt keeps no per-module state, so it holds nothing;
// it marks the place and keeps every export shaped alike.
class ModuleStateGuard {
public:
    ModuleStateGuard() = default;
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;
};

// Runs an export's body under the guard; nothing thrown crosses into the
// host, which then sees the fallback result.
template <typename Result, typename Body>
Result guardedExport(Result fallback, Body&& body) noexcept {
    [[maybe_unused]] ModuleStateGuard guard;
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

template <typename Body>
void guardedExportVoid(Body&& body) noexcept {
    [[maybe_unused]] ModuleStateGuard guard;
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace v3d
