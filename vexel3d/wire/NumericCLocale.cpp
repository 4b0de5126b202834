#include "wire/NumericCLocale.h"

namespace v3d {

namespace {

locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

NumericCLocale::NumericCLocale() {
    if (cLocale()) m_previous = uselocale(cLocale());
}

NumericCLocale::~NumericCLocale() {
    if (m_previous) uselocale(m_previous);
}

}  // namespace v3d
