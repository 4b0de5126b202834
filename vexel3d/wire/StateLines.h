#pragma once
// The line grammar of state texts: a keyword ending in one blank, a payload,
// a line feed. Values that may hold line feeds or asterisks are escaped
// ("*n" and "**"). Payloads are read field by field with the checks a text
// from elsewhere needs: every number must parse, fit its type and be finite.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace v3d {

// Line feed -> "*n", asterisk -> "**"; every other byte copied.
std::string escapeValue(std::string_view value);
// The reverse: "**" -> '*', '*' with any other byte (or standing last) -> line feed.
std::string unescapeValue(std::string_view escaped);

// The unescaped payload of the first line starting with key; nothing when
// no line starts with it or the matching line has no line feed.
std::optional<std::string> findLine(std::string_view key, std::string_view text);

// Appends "key payload\n".
void appendLine(std::string& text, std::string_view key, std::string_view payload);

// Reads blank-separated fields from a payload, like a scanf format would,
// but refusing what does not fit: out-of-range integers, non-finite floats,
// words longer than asked.
class FieldReader {
public:
    explicit FieldReader(std::string_view payload) : m_text(payload) {}

    bool readInt(int32_t& out);
    bool readUnsigned(uint32_t& out);
    bool readFloat(float& out);
    bool readDouble(double& out);
    // A word of at most maxLength bytes; a longer one is refused.
    bool readWord(std::string& out, size_t maxLength);
    bool atEnd();

private:
    void skipBlanks();
    std::string_view token();

    std::string_view m_text;
    size_t m_pos = 0;
};

}  // namespace v3d
