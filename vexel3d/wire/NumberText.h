#pragma once
// Numbers as every text of ours carries them, in any process locale:
// integers in decimal, reals in fixed point with six decimals, as printf's
// "%f" writes the value widened to double. A value the view keeps as that
// text reads back is the same on every road: a flood seeded at 12.9999999
// would take another cell on a peer that reads "13.000000".

#include "render/math/Vec3.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace v3d {

std::string sixDecimals(double value);
// The float that the six-decimal text of value reads back as; non-finite
// values are returned as they are.
float sixDecimalValue(float value);
Vec3 sixDecimalValue(const Vec3& value);

// A payload of blank-separated fields.
class FieldWriter {
public:
    FieldWriter& integer(int64_t value);
    FieldWriter& real(double value);
    FieldWriter& reals(const Vec3& value) { return real(value.x).real(value.y).real(value.z); }
    FieldWriter& word(std::string_view value);
    const std::string& text() const { return m_text; }

private:
    // One blank between fields, as a format string puts it: an empty word
    // still counts as a field.
    void blank() {
        if (!m_first) m_text += ' ';
        m_first = false;
    }
    std::string m_text;
    bool m_first = true;
};

}  // namespace v3d
