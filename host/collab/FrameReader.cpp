#include "FrameReader.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>

namespace quarvia {

namespace {

// Room a reader keeps between frames; more is released after a large frame.
constexpr qsizetype kKeptRoomBytes = 64 * 1024;

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
    if (kind < CollabFrame::Data || kind > CollabFrame::StateRequest) return false;
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

bool FrameReader::takeFrame(const char* data, quint32 length, std::vector<CollabFrame>& frames) {
    CollabFrame frame;
    if (!decodeBody(data, qsizetype(length), frame)) return false;
    frames.push_back(std::move(frame));
    return true;
}

bool FrameReader::feed(const QByteArray& bytes, std::vector<CollabFrame>& frames) {
    const char* in = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        if (m_buffer.isEmpty()) {
            // Frames that lie whole in the piece are read where they lie.
            while (left >= 4) {
                const quint32 length = bigEndian32(in);
                if (length > m_maxFrame) return false;
                if (left - 4 < qsizetype(length)) break;
                if (!takeFrame(in + 4, length, frames)) return false;
                in += 4 + qsizetype(length);
                left -= 4 + qsizetype(length);
            }
            if (left == 0) break;
            // The start of a frame: room for all of it at once when its
            // length is known, so that its bytes are never moved as the
            // rest drips in.
            if (left >= 4) m_buffer.reserve(qsizetype(bigEndian32(in)) + 4);
            m_buffer.append(in, left);
            break;
        }
        if (m_buffer.size() < 4) {
            const qsizetype take = std::min<qsizetype>(left, 4 - m_buffer.size());
            m_buffer.append(in, take);
            in += take;
            left -= take;
            if (m_buffer.size() < 4) break;
            const quint32 length = bigEndian32(m_buffer.constData());
            if (length > m_maxFrame) return false;
            m_moved += m_buffer.size();  // the head moves into the room made for the frame
            m_buffer.reserve(qsizetype(length) + 4);
        }
        // Only the rest of this frame: the buffer never holds the next one.
        const quint32 length = bigEndian32(m_buffer.constData());
        const qsizetype take = std::min<qsizetype>(left, qsizetype(length) + 4 - m_buffer.size());
        m_buffer.append(in, take);
        in += take;
        left -= take;
        if (m_buffer.size() < qsizetype(length) + 4) break;
        const bool sound = takeFrame(m_buffer.constData() + 4, length, frames);
        // A large frame's room goes with it; a small one's is kept for the next.
        if (m_buffer.capacity() > kKeptRoomBytes) m_buffer = QByteArray();
        else m_buffer.truncate(0);
        if (!sound) return false;
    }
    return true;
}

}  // namespace quarvia
