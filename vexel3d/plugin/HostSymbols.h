#pragma once

#include <functional>

namespace v3d {

// Looks up an optional host function by name in the host's main program;
// null when the host does not export it.
void* lookupHostSymbol(const char* name);

// Tests replace the lookup to play a host without some exports; an empty
// function restores the real lookup.
void setHostSymbolResolver(std::function<void*(const char*)> resolver);

template <typename Fn>
Fn lookupHostFunction(const char* name) {
    return reinterpret_cast<Fn>(lookupHostSymbol(name));
}

}  // namespace v3d
