#include "render/math/Check.h"

#include <cstdio>
#include <cstdlib>

namespace v3d {

void checkFailed(const char* expression, const std::string& values, const char* file, int line) {
    if (values.empty())
        std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, expression);
    else
        std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", file, line, expression, values.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace v3d
