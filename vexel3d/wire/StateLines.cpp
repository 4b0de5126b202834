#include "wire/StateLines.h"

#include "wire/NumericCLocale.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace v3d {

std::string escapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\n')
            out += "*n";
        else if (c == '*')
            out += "**";
        else
            out += c;
    }
    return out;
}

std::string unescapeValue(std::string_view escaped) {
    std::string out;
    out.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '*') {
            out += c;
            continue;
        }
        const bool star = i + 1 < escaped.size() && escaped[i + 1] == '*';
        out += star ? '*' : '\n';
        ++i;  // the byte after the asterisk is consumed too (none when it stands last)
    }
    return out;
}

std::optional<std::string> findLine(std::string_view key, std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        if (text.compare(pos, key.size(), key) == 0 && pos + key.size() <= text.size()) {
            if (end == std::string_view::npos) return std::nullopt;
            return unescapeValue(text.substr(pos + key.size(), end - pos - key.size()));
        }
        if (end == std::string_view::npos) return std::nullopt;
        pos = end + 1;
    }
    return std::nullopt;
}

void appendLine(std::string& text, std::string_view key, std::string_view payload) {
    text += key;
    text += payload;
    text += '\n';
}

void FieldReader::skipBlanks() {
    while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r' ||
                                     m_text[m_pos] == '\n' || m_text[m_pos] == '\v' || m_text[m_pos] == '\f'))
        ++m_pos;
}

std::string_view FieldReader::token() {
    skipBlanks();
    const size_t start = m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] != ' ' && m_text[m_pos] != '\t' && m_text[m_pos] != '\r' &&
           m_text[m_pos] != '\n' && m_text[m_pos] != '\v' && m_text[m_pos] != '\f' && m_text[m_pos] != '\0')
        ++m_pos;
    return m_text.substr(start, m_pos - start);
}

bool FieldReader::atEnd() {
    skipBlanks();
    return m_pos >= m_text.size();
}

namespace {
// Numbers are short; anything longer is not one of ours.
constexpr size_t kMaxNumberLength = 64;

bool copyNumber(std::string_view t, char (&buffer)[kMaxNumberLength + 1]) {
    if (t.empty() || t.size() > kMaxNumberLength) return false;
    t.copy(buffer, t.size());
    buffer[t.size()] = '\0';
    return true;
}
}  // namespace

bool FieldReader::readInt(int32_t& out) {
    char buffer[kMaxNumberLength + 1];
    if (!copyNumber(token(), buffer)) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(buffer, &end, 10);
    if (end == buffer || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool FieldReader::readUnsigned(uint32_t& out) {
    char buffer[kMaxNumberLength + 1];
    if (!copyNumber(token(), buffer) || buffer[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(buffer, &end, 10);
    if (end == buffer || *end != '\0' || errno == ERANGE || v > UINT32_MAX) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool FieldReader::readDouble(double& out) {
    char buffer[kMaxNumberLength + 1];
    if (!copyNumber(token(), buffer)) return false;
    char* end = nullptr;
    const NumericCLocale c;
    const double v = std::strtod(buffer, &end);
    if (end == buffer || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool FieldReader::readFloat(float& out) {
    double v = 0;
    if (!readDouble(v) || !(std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max()))) return false;
    out = static_cast<float>(v);
    return true;
}

bool FieldReader::readWord(std::string& out, size_t maxLength) {
    const std::string_view t = token();
    if (t.empty() || t.size() > maxLength) return false;
    out.assign(t);
    return true;
}

}  // namespace v3d
