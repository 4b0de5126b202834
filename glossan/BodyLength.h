#pragma once

#include <cstddef>
#include <cstdint>

namespace glossan {

// What a response's header lines announce about its body, fed one line at
// a time as they arrive. The lines are untrusted: a length is taken only
// when it is plain decimal digits that fit, and two different lengths, or
// one that cannot be read, make the announcement invalid. A status line
// starts a new response (interim answers come before the real one).
class BodyLength {
public:
    void addHeaderLine(const char* data, size_t size);

    // The announced byte count, or -1 when none applies (no header, or a
    // transfer coding that makes the length meaningless).
    int64_t announced() const { return m_coded ? -1 : m_length; }
    bool invalid() const { return m_invalid && !m_coded; }
    // A chunked body carries its own end, which the transfer checks.
    bool chunked() const { return m_chunked; }

private:
    int64_t m_length = -1;
    bool m_coded = false;
    bool m_chunked = false;
    bool m_invalid = false;
};

}  // namespace glossan
