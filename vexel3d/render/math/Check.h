#pragma once
// Programmer preconditions: a broken one aborts with the expression, the
// values and where. Cheap checks only; they stay on in release builds.
// Untrusted input never reaches these: it is refused with a status first.

#include <sstream>
#include <string>

namespace v3d {

[[noreturn]] void checkFailed(const char* expression, const std::string& values, const char* file, int line);

template <typename A, typename B>
std::string checkValues(const A& a, const B& b) {
    std::ostringstream text;
    text << a << " vs " << b;
    return text.str();
}

}  // namespace v3d

#define V3D_CHECK(condition) \
    ((condition) ? (void)0 : ::v3d::checkFailed(#condition, std::string(), __FILE__, __LINE__))

// a op b, printing both values when it fails.
#define V3D_CHECK_OP(a, op, b)                                                                 \
    do {                                                                                       \
        const auto& check_a_ = (a);                                                            \
        const auto& check_b_ = (b);                                                            \
        if (!(check_a_ op check_b_))                                                           \
            ::v3d::checkFailed(#a " " #op " " #b, ::v3d::checkValues(check_a_, check_b_), __FILE__, \
                               __LINE__);                                                      \
    } while (0)
#define V3D_CHECK_EQ(a, b) V3D_CHECK_OP(a, ==, b)
#define V3D_CHECK_LE(a, b) V3D_CHECK_OP(a, <=, b)
#define V3D_CHECK_LT(a, b) V3D_CHECK_OP(a, <, b)
#define V3D_CHECK_GE(a, b) V3D_CHECK_OP(a, >=, b)
