#include "plugin/host/HostSymbols.h"

#include <dlfcn.h>

namespace v3d {

void* lookupHostSymbol(const char* name) {
    // The main program's handle searches the executable and what it loaded
    // globally, not this library's private scope.
    void* program = dlopen(nullptr, RTLD_LAZY);
    if (!program) return nullptr;
    void* symbol = dlsym(program, name);
    dlclose(program);
    return symbol;
}

}  // namespace v3d
