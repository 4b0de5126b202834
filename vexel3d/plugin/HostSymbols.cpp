#include "HostSymbols.h"

#include <dlfcn.h>

namespace v3d {

namespace {
std::function<void*(const char*)>& resolverOverride() {
    static std::function<void*(const char*)> resolver;
    return resolver;
}
}  // namespace

void* lookupHostSymbol(const char* name) {
    if (resolverOverride()) return resolverOverride()(name);
    // The main program's handle searches the executable and what it loaded
    // globally, not this library's private scope.
    void* program = dlopen(nullptr, RTLD_LAZY);
    if (!program) return nullptr;
    void* symbol = dlsym(program, name);
    dlclose(program);
    return symbol;
}

void setHostSymbolResolver(std::function<void*(const char*)> resolver) {
    resolverOverride() = std::move(resolver);
}

}  // namespace v3d
