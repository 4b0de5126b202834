#include "wire/NumberText.h"

#include <charconv>
#include <cmath>

namespace v3d {

namespace {
constexpr int kDecimals = 6;
}  // namespace

std::string sixDecimals(double value) {
    // Room for the largest double written out in full. Correctly rounded,
    // as printf's "%f" is; non-finite values as printf writes them.
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, kDecimals);
    return std::string(text, written.ptr);
}

float sixDecimalValue(float value) {
    if (!std::isfinite(value)) return value;
    const std::string text = sixDecimals(static_cast<double>(value));
    float parsed = value;
    std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::fixed);
    return parsed;
}

Vec3 sixDecimalValue(const Vec3& value) {
    return Vec3(sixDecimalValue(value.x), sixDecimalValue(value.y), sixDecimalValue(value.z));
}

FieldWriter& FieldWriter::integer(int64_t value) {
    blank();
    m_text += std::to_string(value);
    return *this;
}

FieldWriter& FieldWriter::real(double value) {
    blank();
    m_text += sixDecimals(value);
    return *this;
}

FieldWriter& FieldWriter::word(std::string_view value) {
    blank();
    m_text += value;
    return *this;
}

}  // namespace v3d
