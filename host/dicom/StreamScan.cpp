#include "StreamScan.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace quarvia {

namespace {

constexpr uint32_t kUndefined = 0xFFFFFFFFu;
constexpr uint16_t kItemGroup = 0xFFFE;
constexpr uint16_t kItem = 0xE000, kItemEnd = 0xE00D, kSequenceEnd = 0xE0DD;
constexpr uint16_t kPixelGroup = 0x7FE0, kPixelData = 0x0010;
constexpr size_t kPreamble = 128;

enum class Syntax { ImplicitLittle, ExplicitLittle, ExplicitBig, Deflated };

struct Frame {
    enum Kind { Sequence, Item, Fragments } kind;
    bool undefined;
    size_t end;
    bool implicitInside;  // UN sequences hold implicit little-endian items
};

bool longVr(const char vr[2]) {
    static const char* const kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"};
    for (const char* v : kLong)
        if (vr[0] == v[0] && vr[1] == v[1]) return true;
    return false;
}

bool isVr(const uint8_t* p) { return p[0] >= 'A' && p[0] <= 'Z' && p[1] >= 'A' && p[1] <= 'Z'; }

class Walker {
public:
    Walker(const uint8_t* data, size_t size, bool big, int maxDepth)
        : m_data(data), m_size(size), m_big(big), m_maxDepth(maxDepth) {}

    StreamReport walk(size_t pos, bool implicit) {
        while (true) {
            while (!m_stack.empty() && !m_stack.back().undefined && pos >= m_stack.back().end) {
                if (pos > m_stack.back().end) return stop(StreamState::Malformed, pos);
                m_stack.pop_back();
            }
            if (pos == m_size) break;
            if (m_size - pos < 8) return truncated(pos, 8 - (m_size - pos));
            m_group = u16(pos);
            m_element = u16(pos + 2);
            const bool inImplicit = implicit || (!m_stack.empty() && m_stack.back().implicitInside);
            if (m_group == kItemGroup) {
                if (!delimiter(pos, inImplicit)) return m_report;
                continue;
            }
            char vr[2] = {0, 0};
            size_t header = 8;
            uint32_t length = 0;
            if (inImplicit) {
                length = u32(pos + 4);
            } else {
                if (!isVr(m_data + pos + 4)) return stop(StreamState::Malformed, pos);
                std::memcpy(vr, m_data + pos + 4, 2);
                if (longVr(vr)) {
                    if (m_size - pos < 12) return truncated(pos, 12 - (m_size - pos));
                    header = 12;
                    length = u32(pos + 8);
                } else {
                    length = u16(pos + 6);
                }
            }
            const bool unknown = vr[0] == 'U' && vr[1] == 'N';
            if (length == kUndefined) {
                if (m_group == kPixelGroup && m_element == kPixelData) {
                    m_stack.push_back({Frame::Fragments, true, 0, inImplicit});
                } else if (inImplicit || (vr[0] == 'S' && vr[1] == 'Q') || unknown) {
                    if (!open(pos, true, 0, inImplicit || unknown)) return m_report;
                } else {
                    return stop(StreamState::Malformed, pos);
                }
                pos += header;
                continue;
            }
            if (length > m_size - pos - header) return truncated(pos, length - (m_size - pos - header));
            const size_t end = pos + header + length;
            if (!m_stack.empty() && !m_stack.back().undefined && end > m_stack.back().end)
                return stop(StreamState::Malformed, pos);
            // A sequence by its VR, or (implicit, UN) by a value that starts with an item.
            const bool startsWithItem = length >= 8 && u16(pos + header) == kItemGroup && u16(pos + header + 2) == kItem;
            if ((vr[0] == 'S' && vr[1] == 'Q') || ((inImplicit || unknown) && startsWithItem)) {
                if (!open(pos, false, end, inImplicit || unknown)) return m_report;
                pos += header;
                continue;
            }
            pos = end;
        }
        for (const Frame& f : m_stack)
            if (f.undefined) return truncated(m_size, 0);  // ends inside a sequence
        m_report.offset = m_size;
        return m_report;
    }

private:
    uint16_t u16(size_t at) const {
        const uint8_t* p = m_data + at;
        return m_big ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t u32(size_t at) const {
        const uint8_t* p = m_data + at;
        return m_big ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                     : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }

    StreamReport stop(StreamState state, size_t pos) {
        m_report.state = state;
        m_report.offset = pos;
        m_report.group = m_group;
        m_report.element = m_element;
        return m_report;
    }
    StreamReport truncated(size_t pos, size_t missing) {
        m_report.missing = missing;
        return stop(StreamState::Truncated, pos);
    }

    bool open(size_t pos, bool undefined, size_t end, bool implicitInside) {
        m_stack.push_back({Frame::Sequence, undefined, end, implicitInside});
        int depth = 0;
        for (const Frame& f : m_stack) depth += f.kind == Frame::Sequence ? 1 : 0;
        m_report.depth = std::max(m_report.depth, depth);
        if (depth <= m_maxDepth) return true;
        stop(StreamState::TooDeep, pos);
        return false;
    }

    // Items and the two delimiters; false (with the report) when they do not fit.
    bool delimiter(size_t& pos, bool implicit) {
        const uint32_t length = u32(pos + 4);
        const Frame::Kind top = m_stack.empty() ? Frame::Item : m_stack.back().kind;
        if (m_element == kItem) {
            if (m_stack.empty() || top == Frame::Item) return stop(StreamState::Malformed, pos), false;
            if (length == kUndefined) {
                if (top == Frame::Fragments) return stop(StreamState::Malformed, pos), false;
                m_stack.push_back({Frame::Item, true, 0, implicit});
                pos += 8;
                return true;
            }
            if (length > m_size - pos - 8) return truncated(pos, length - (m_size - pos - 8)), false;
            if (!m_stack.back().undefined && pos + 8 + length > m_stack.back().end)
                return stop(StreamState::Malformed, pos), false;
            if (top == Frame::Fragments) pos += 8 + size_t(length);  // pixel data, not a data set
            else m_stack.push_back({Frame::Item, false, pos + 8 + length, implicit}), pos += 8;
            return true;
        }
        const bool closesItem = m_element == kItemEnd && top == Frame::Item;
        const bool closesSequence = m_element == kSequenceEnd && !m_stack.empty() && top != Frame::Item;
        if ((!closesItem && !closesSequence) || !m_stack.back().undefined) return stop(StreamState::Malformed, pos), false;
        m_stack.pop_back();
        pos += 8;
        return true;
    }

    const uint8_t* m_data;
    size_t m_size;
    bool m_big;
    int m_maxDepth;
    std::vector<Frame> m_stack;
    uint16_t m_group = 0, m_element = 0;
    StreamReport m_report;
};

// Raw deflate of the data set after the meta header; false when it does not inflate within the limit.
bool inflateDataSet(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(std::min<size_t>(size, 0x7FFFFFFF));
    int status = Z_OK;
    while (status == Z_OK) {
        if (out.size() >= kMaxInflatedBytes) break;
        const size_t before = out.size();
        out.resize(std::min(kMaxInflatedBytes, before + (size_t(1) << 20)));
        z.next_out = out.data() + before;
        z.avail_out = static_cast<uInt>(out.size() - before);
        status = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
    }
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

}  // namespace

StreamReport scanDicomStream(const uint8_t* data, size_t size, int maxDepth) {
    size_t pos = 0;
    if (size >= kPreamble + 4 && std::memcmp(data + kPreamble, "DICM", 4) == 0) pos = kPreamble + 4;
    // The meta header: explicit little endian, group 0002, no sequences.
    Syntax syntax = Syntax::ExplicitLittle;
    bool meta = false;
    while (size - pos >= 8 && (data[pos] | data[pos + 1] << 8) == 0x0002) {
        meta = true;
        if (!isVr(data + pos + 4)) return StreamReport{StreamState::Malformed, 0, pos, 2, uint16_t(data[pos + 2] | data[pos + 3] << 8), 0};
        const bool isLong = longVr(reinterpret_cast<const char*>(data + pos + 4));
        const size_t header = isLong ? 12 : 8;
        if (size - pos < header) return StreamReport{StreamState::Truncated, 0, pos, 2, 0, header - (size - pos)};
        const uint32_t length = isLong ? uint32_t(data[pos + 8] | data[pos + 9] << 8 | data[pos + 10] << 16 | uint32_t(data[pos + 11]) << 24)
                                       : uint32_t(data[pos + 6] | data[pos + 7] << 8);
        const uint16_t element = uint16_t(data[pos + 2] | data[pos + 3] << 8);
        if (length == kUndefined || length > size - pos - header)
            return StreamReport{StreamState::Truncated, 0, pos, 2, element, length == kUndefined ? 0 : length - (size - pos - header)};
        if (element == 0x0010) {
            std::string uid(reinterpret_cast<const char*>(data + pos + header), length);
            while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' ')) uid.pop_back();
            if (uid == "1.2.840.10008.1.2") syntax = Syntax::ImplicitLittle;
            else if (uid == "1.2.840.10008.1.2.2") syntax = Syntax::ExplicitBig;
            else if (uid == "1.2.840.10008.1.2.1.99") syntax = Syntax::Deflated;
        }
        pos += header + length;
    }
    // Without a meta header the data set says by its first element which it is.
    if (!meta && size - pos >= 8) syntax = isVr(data + pos + 4) ? Syntax::ExplicitLittle : Syntax::ImplicitLittle;
    if (syntax == Syntax::Deflated) {
        std::vector<uint8_t> inflated;
        if (!inflateDataSet(data + pos, size - pos, inflated)) return StreamReport{StreamState::Malformed, 0, pos, 0, 0, 0};
        return Walker(inflated.data(), inflated.size(), false, maxDepth).walk(0, false);
    }
    return Walker(data, size, syntax == Syntax::ExplicitBig, maxDepth).walk(pos, syntax == Syntax::ImplicitLittle);
}

bool scanDicomFile(const QString& path, StreamReport& report) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (file.size() == 0) return (report = StreamReport()), true;
    const uchar* bytes = file.map(0, file.size());
    if (!bytes) return false;
    report = scanDicomStream(bytes, size_t(file.size()));
    file.unmap(const_cast<uchar*>(bytes));
    return true;
}

QString describe(const StreamReport& report) {
    const QString tag = QString("(%1,%2)").arg(report.group, 4, 16, QChar('0')).arg(report.element, 4, 16, QChar('0')).toUpper();
    switch (report.state) {
    case StreamState::Sound: return QString();
    case StreamState::TooDeep:
        return QString("sequences nested more than %1 deep at byte %2 (a damaged or hostile file)")
            .arg(kMaxSequenceDepth)
            .arg(report.offset);
    case StreamState::Truncated:
        if (report.missing == 0) return QString("truncated: the file ends inside a sequence (%1 bytes)").arg(report.offset);
        return QString("truncated: element %1 at byte %2 needs %3 more bytes than the file has")
            .arg(tag)
            .arg(report.offset)
            .arg(report.missing);
    case StreamState::Malformed:
        return QString("damaged: element %1 at byte %2 does not fit where it stands").arg(tag).arg(report.offset);
    }
    return QString();
}

}  // namespace quarvia
