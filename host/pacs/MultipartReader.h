#pragma once

#include <QByteArray>

#include <functional>

namespace quarvia {

// Reads a multipart/related body as it streams in and hands over each part's
// body once it is whole. Trusts nothing: a part larger than the limit, or
// bytes that do not follow the boundary, stop it.
class MultipartReader {
public:
    enum class State { Reading, Done, Malformed, TooLarge };

    // `boundary` as the Content-Type header gives it (quotes removed).
    MultipartReader(const QByteArray& boundary, std::function<bool(const QByteArray& body)> part, size_t maxPartBytes);
    // The boundary parameter of a Content-Type value; empty when absent.
    static QByteArray boundaryOf(const QByteArray& contentType);

    // False when reading stopped (malformed, too large, or the part callback said stop).
    bool feed(const char* data, size_t size);
    State state() const { return m_state; }
    int parts() const { return m_parts; }

private:
    bool parse();

    QByteArray m_delimiter;  // "\r\n--boundary"
    std::function<bool(const QByteArray&)> m_part;
    size_t m_maxPart;
    QByteArray m_buffer;
    qsizetype m_searchFrom = 0;  // the current part's body has no delimiter before this
    bool m_started = false;      // past the first boundary
    State m_state = State::Reading;
    bool m_stopped = false;
    int m_parts = 0;
};

}  // namespace quarvia
