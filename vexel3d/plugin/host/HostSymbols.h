#pragma once

namespace v3d {

// Looks up an optional host function by name in the host's main program;
// null when the host does not export it.
void* lookupHostSymbol(const char* name);

template <typename Fn>
Fn lookupHostFunction(const char* name) {
    return reinterpret_cast<Fn>(lookupHostSymbol(name));
}

}  // namespace v3d
