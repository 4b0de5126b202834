#include "BodyLength.h"

#include <cctype>
#include <cstring>

namespace glossan {

namespace {

// Largest length taken at face value; anything longer is refused by every
// caller's own cap long before this.
constexpr int64_t kMaxLength = int64_t(1) << 53;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool startsWithNoCase(const char* data, size_t size, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (size < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(data[i])) != prefix[i]) return false;
    return true;
}

// -1 unless the text is one or more decimal digits that fit.
int64_t parseDigits(const char* data, size_t size) {
    if (size == 0) return -1;
    int64_t value = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < '0' || data[i] > '9') return -1;
        value = value * 10 + (data[i] - '0');
        if (value > kMaxLength) return -1;
    }
    return value;
}

}  // namespace

void BodyLength::addHeaderLine(const char* data, size_t size) {
    if (!data) return;
    if (startsWithNoCase(data, size, "http/")) {
        *this = BodyLength();
        return;
    }
    static constexpr char kCodingName[] = "transfer-encoding:";
    if (startsWithNoCase(data, size, kCodingName)) {
        // Any coding voids the length; only a last coding of "chunked"
        // marks the body's end (otherwise it ends when the server closes).
        m_coded = true;
        size_t end = size;
        while (end > 0 && isBlank(data[end - 1])) --end;
        static constexpr char kChunked[] = "chunked";
        const size_t length = sizeof(kChunked) - 1;
        const size_t nameEnd = sizeof(kCodingName) - 1;
        m_chunked = end >= nameEnd + length && startsWithNoCase(data + end - length, length, kChunked) &&
                    (end - length == nameEnd || data[end - length - 1] == ',' || isBlank(data[end - length - 1]));
        return;
    }
    static constexpr char kLengthName[] = "content-length:";
    if (!startsWithNoCase(data, size, kLengthName)) return;
    size_t begin = sizeof(kLengthName) - 1;
    size_t end = size;
    while (begin < end && isBlank(data[begin])) ++begin;
    while (end > begin && isBlank(data[end - 1])) --end;
    const int64_t value = parseDigits(data + begin, end - begin);
    if (value < 0 || (m_length >= 0 && value != m_length)) m_invalid = true;
    if (value >= 0 && m_length < 0) m_length = value;
}

}  // namespace glossan
