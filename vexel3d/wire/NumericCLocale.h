#pragma once
// Numbers in state texts are read as in the C locale whatever
// the process locale is: a desktop session may have set a decimal comma,
// and a text written with one would not read back on a peer, in a layout
// or from a capture made elsewhere. Thread-local; restores on leaving.

#include <clocale>
#include <locale.h>

namespace v3d {

class NumericCLocale {
public:
    NumericCLocale();
    ~NumericCLocale();
    NumericCLocale(const NumericCLocale&) = delete;
    NumericCLocale& operator=(const NumericCLocale&) = delete;

private:
    locale_t m_previous = nullptr;
};

}  // namespace v3d
