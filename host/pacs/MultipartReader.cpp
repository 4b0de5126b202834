#include "MultipartReader.h"

#include <QList>

#include <algorithm>

namespace quarvia {

MultipartReader::MultipartReader(const QByteArray& boundary, std::function<bool(const QByteArray&)> part, size_t maxPartBytes)
    : m_delimiter("\r\n--" + boundary), m_part(std::move(part)), m_maxPart(maxPartBytes) {
    if (boundary.isEmpty()) m_state = State::Malformed;
    // The first boundary may open the body without a line break before it.
    m_buffer = "\r\n";
}

QByteArray MultipartReader::boundaryOf(const QByteArray& contentType) {
    for (QByteArray parameter : contentType.split(';')) {
        parameter = parameter.trimmed();
        if (!parameter.toLower().startsWith("boundary=")) continue;
        QByteArray value = parameter.mid(9).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) value = value.mid(1, value.size() - 2);
        return value.size() <= 70 ? value : QByteArray();  // the limit of the standard
    }
    return QByteArray();
}

bool MultipartReader::feed(const char* data, size_t size) {
    if (m_state != State::Reading || m_stopped) return false;
    m_buffer.append(data, qsizetype(size));
    return parse();
}

bool MultipartReader::parse() {
    while (true) {
        if (!m_started) {
            // Anything before the first boundary is a preamble and ignored.
            const qsizetype at = m_buffer.indexOf(m_delimiter);
            if (at < 0) {
                if (size_t(m_buffer.size()) > m_maxPart) return (m_state = State::Malformed), false;
                return true;
            }
            m_buffer.remove(0, at);
            m_started = true;
        }
        // At a delimiter: "--" closes the body, else a line break opens a part.
        const qsizetype after = m_delimiter.size();
        if (m_buffer.size() < after + 2) return true;
        if (m_buffer.mid(after, 2) == "--") return (m_state = State::Done), true;
        const qsizetype headersEnd = m_buffer.indexOf("\r\n\r\n", after);
        if (headersEnd < 0) {
            if (m_buffer.size() > 64 * 1024) return (m_state = State::Malformed), false;  // headers are short
            return true;
        }
        const qsizetype bodyStart = headersEnd + 4;
        // Only what came since the last look is searched (a part of megabytes arrives in many pieces).
        const qsizetype next = m_buffer.indexOf(m_delimiter, std::max(bodyStart, m_searchFrom));
        if (next < 0) {
            if (size_t(m_buffer.size() - bodyStart) > m_maxPart) return (m_state = State::TooLarge), false;
            m_searchFrom = std::max(bodyStart, m_buffer.size() - m_delimiter.size() + 1);
            return true;
        }
        if (size_t(next - bodyStart) > m_maxPart) return (m_state = State::TooLarge), false;
        const QByteArray body = m_buffer.mid(bodyStart, next - bodyStart);
        m_buffer.remove(0, next);
        m_searchFrom = 0;
        ++m_parts;
        if (!m_part(body)) return (m_stopped = true), false;
    }
}

}  // namespace quarvia
