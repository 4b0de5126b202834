#include "FrameReader.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>

namespace quarvia {

namespace {

quint32 bigEndian32(const char* at) {
    const auto* b = reinterpret_cast<const uchar*>(at);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

// Reads the fields of one frame body (as QDataStream writes them) from
// untrusted bytes; every length is checked against what is left.
class BodyCursor {
public:
    BodyCursor(const char* data, qsizetype size) : m_data(data), m_left(size) {}
    bool byte(quint8& value) {
        if (m_left < 1) return false;
        value = quint8(*m_data);
        return skip(1);
    }
    bool int32(qint32& value) {
        if (m_left < 4) return false;
        value = qint32(bigEndian32(m_data));
        return skip(4);
    }
    // A byte array: its length, then its bytes; 0xFFFFFFFF is a null array.
    bool bytes(QByteArray& value) {
        if (m_left < 4) return false;
        const quint32 length = bigEndian32(m_data);
        skip(4);
        if (length == 0xFFFFFFFFu) return (value = QByteArray()), true;
        if (qsizetype(length) > m_left) return false;
        value = QByteArray(m_data, qsizetype(length));
        return skip(qsizetype(length));
    }
    bool atEnd() const { return m_left == 0; }

private:
    bool skip(qsizetype n) {
        m_data += n;
        m_left -= n;
        return true;
    }
    const char* m_data;
    qsizetype m_left;
};

bool decodeBody(const char* data, qsizetype size, CollabFrame& frame) {
    BodyCursor in(data, size);
    quint8 kind = 0;
    qint32 cell = 0;
    QByteArray id;
    if (!in.byte(kind) || !in.int32(cell) || !in.bytes(id) || !in.bytes(frame.payload) || !in.atEnd()) return false;
    if (kind < CollabFrame::Data || kind > CollabFrame::Refused) return false;
    frame.kind = static_cast<CollabFrame::Kind>(kind);
    frame.cellIndex = cell;
    frame.pluginId = id.toStdString();
    return true;
}

}  // namespace

QByteArray encodeFrame(const CollabFrame& frame) {
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << quint8(frame.kind) << qint32(frame.cellIndex) << QByteArray::fromStdString(frame.pluginId) << frame.payload;
    QByteArray framed;
    QDataStream head(&framed, QIODevice::WriteOnly);
    head << quint32(body.size());
    return framed + body;
}

void FrameReader::makeRoom(qsizetype incoming) {
    if (m_buffer.capacity() - m_buffer.size() >= incoming) return;  // appending copies nothing old
    const qsizetype unread = pending();
    qsizetype wanted = std::max(unread + incoming, 2 * unread);
    // The frame being received says how long it is: room for all of it now
    // means its unread bytes move once, however slowly the rest drips in.
    if (unread >= 4) {
        const quint32 length = bigEndian32(m_buffer.constData() + m_start);
        if (length <= m_maxFrame) wanted = std::max(wanted, qsizetype(length) + 4);
    }
    QByteArray grown;
    grown.reserve(wanted);
    grown.append(m_buffer.constData() + m_start, unread);
    m_moved += unread;
    m_buffer = std::move(grown);
    m_start = 0;
}

bool FrameReader::feed(const QByteArray& bytes, std::vector<CollabFrame>& frames) {
    makeRoom(bytes.size());
    m_buffer.append(bytes);
    const char* data = m_buffer.constData();
    const qsizetype size = m_buffer.size();
    bool sound = true;
    while (size - m_start >= 4) {
        const quint32 length = bigEndian32(data + m_start);
        if (length > m_maxFrame) {
            sound = false;
            break;
        }
        if (size - m_start - 4 < qsizetype(length)) break;
        CollabFrame frame;
        if (!decodeBody(data + m_start + 4, qsizetype(length), frame)) {
            sound = false;
            break;
        }
        frames.push_back(std::move(frame));
        m_start += 4 + qsizetype(length);
    }
    if (m_start == size) {
        // Everything read: start over in the same room.
        m_buffer.truncate(0);
        m_start = 0;
    }
    return sound;
}

}  // namespace quarvia
