#include "wire/SegRecords.h"

#include "wire/NumberText.h"
#include "wire/StateLines.h"

#include <cmath>

namespace v3d {

namespace {

// The record heads, each followed by a blank and its fields where it has any.
constexpr std::string_view kSeedBegin = "SEGBEGIN";
constexpr std::string_view kCutPlane = "SEGCUTPLANE";
constexpr std::string_view kSeedEnd = "SEGEND";
constexpr std::string_view kOutlineBegin = "SEGROIBEGIN";
constexpr std::string_view kOutlinePoint = "SEGROIPOINT";
constexpr std::string_view kOutlineEnd = "SEGROIEND";
constexpr std::string_view kMaskBegin = "SEGMASKBEGIN";
constexpr std::string_view kMaskData = "SEGMASKDATA";
constexpr std::string_view kMaskEnd = "SEGMASKEND";
constexpr char kRecordEnd = 'J';

void appendFloats(std::string& out, std::initializer_list<float> values) {
    for (float value : values) {
        out += ' ';
        out += sixDecimals(static_cast<double>(value));
    }
}

void appendInts(std::string& out, std::initializer_list<int> values) {
    for (int value : values) {
        out += ' ';
        out += std::to_string(value);
    }
}

bool opens(std::string_view record, std::string_view head) {
    return record.size() > head.size() && record.substr(0, head.size()) == head && record[head.size()] == ' ';
}

std::string_view fields(std::string_view record, std::string_view head) { return record.substr(head.size() + 1); }

bool readVec(FieldReader& r, Vec3& v) { return r.readFloat(v.x) && r.readFloat(v.y) && r.readFloat(v.z); }

// Normals shorter than this have no direction.
constexpr float kMinDirectionLength = 1e-3f;
// An outline is swept along a unit view direction, written to six decimals.
constexpr float kUnitTolerance = 0.01f;

// Records are written back on one line of a state text: nothing but
// printable characters, and no asterisk, which the line escapes.
bool printable(std::string_view record) {
    for (char c : record)
        if (c < 0x20 || c > 0x7e || c == '*') return false;
    return true;
}

class Reader {
public:
    explicit Reader(const std::function<bool(HistoryOperation&)>& onOperation) : m_onOperation(onOperation) {}

    // False once the caller asked to stop.
    bool record(std::string_view record);

private:
    enum class Open { None, Seed, Outline, Mask };

    bool close() {
        m_open = Open::None;
        return m_onOperation(m_op);
    }
    void begin(HistoryOperation::Kind kind, std::string_view record) {
        m_op = HistoryOperation();
        m_op.kind = kind;
        m_op.text.assign(record);
        m_op.text += kRecordEnd;
        m_open = kind == HistoryOperation::Kind::Seed      ? Open::Seed
                 : kind == HistoryOperation::Kind::Outline ? Open::Outline
                                                           : Open::Mask;
    }
    void append(std::string_view record) {
        m_op.text.append(record);
        m_op.text += kRecordEnd;
    }
    void cutPlane(std::string_view record);
    void seedBegin(std::string_view record);
    void outlinePoint(std::string_view record);
    void outlineBegin(std::string_view record);
    void maskBegin(std::string_view record);
    void maskData(std::string_view record);

    const std::function<bool(HistoryOperation&)>& m_onOperation;
    HistoryOperation m_op;
    Open m_open = Open::None;
};

void Reader::cutPlane(std::string_view record) {
    FieldReader r(fields(record, kCutPlane));
    SegmentPlane plane;
    if (!readVec(r, plane.point) || !readVec(r, plane.normal) || !r.atEnd() ||
        !(length(plane.normal) >= kMinDirectionLength)) {
        m_op.malformed = true;
        return;
    }
    append(record);
    // More planes than a view can hold are not a flood any view made.
    if (m_op.planes.size() >= static_cast<size_t>(kMaxCutPlanes))
        m_op.malformed = true;
    else
        m_op.planes.push_back(plane);
}

void Reader::seedBegin(std::string_view record) {
    begin(HistoryOperation::Kind::Seed, record);
    FieldReader r(fields(record, kSeedBegin));
    int32_t one = 0, add = 0, bound = 0, planes = 0, low = 0, high = 0;
    if (!readVec(r, m_op.seed) || !r.readInt(one) || !r.readInt(add) || !r.readInt(bound) || !r.readInt(planes) ||
        !r.readInt(low) || !r.readInt(high) || !r.atEnd() || low < 0 || low > kMaxStoredValue || high < 0 || high > kMaxStoredValue) {
        m_op.malformed = true;
        return;
    }
    m_op.add = add > 0;
    m_op.boundByCutPlanes = bound > 0;
    m_op.low = low;
    m_op.high = high;
}

void Reader::outlinePoint(std::string_view record) {
    FieldReader r(fields(record, kOutlinePoint));
    Vec3 point;
    if (!readVec(r, point) || !r.atEnd()) {
        m_op.malformed = true;
        return;
    }
    append(record);
    if (m_open == Open::Outline && static_cast<int>(m_op.points.size()) < m_op.announcedPoints)
        m_op.points.push_back(point);
}

void Reader::outlineBegin(std::string_view record) {
    begin(HistoryOperation::Kind::Outline, record);
    FieldReader r(fields(record, kOutlineBegin));
    int32_t keep = 0, count = 0, range = 0;
    if (!readVec(r, m_op.direction) || !r.readInt(keep) || !r.readInt(count) || !r.readFloat(m_op.startDepth) ||
        !r.readInt(range) || !r.atEnd() || count < 0 || count > kMaxOutlinePoints || range < 0 ||
        !(std::fabs(length(m_op.direction) - 1.0f) <= kUnitTolerance)) {
        m_op.malformed = true;
        return;
    }
    m_op.keep = keep == 1;
    m_op.announcedPoints = count;
    m_op.depthRange = range;
    m_op.points.reserve(static_cast<size_t>(count));
}

void Reader::maskBegin(std::string_view record) {
    begin(HistoryOperation::Kind::Mask, record);
    FieldReader r(fields(record, kMaskBegin));
    ClipBox& c = m_op.clip;
    uint32_t letters = 0;
    int32_t ordinal = 0;
    if (!r.readInt(m_op.sizeX) || !r.readInt(m_op.sizeY) || !r.readInt(m_op.sizeZ) || !r.readFloat(c.lowX) ||
        !r.readFloat(c.highX) || !r.readFloat(c.lowY) || !r.readFloat(c.highY) || !r.readFloat(c.lowZ) ||
        !r.readFloat(c.highZ) || !r.readUnsigned(letters) || !r.readInt(ordinal) || !r.atEnd() || letters > kMaxMaskLetters ||
        ordinal < 0) {
        m_op.malformed = true;
        return;
    }
    for (int size : {m_op.sizeX, m_op.sizeY, m_op.sizeZ})
        if (size < 1 || size > kMaxGridSize) m_op.malformed = true;
    // An empty box lies at most this far outside the grid; nothing sets one farther.
    const float reach = 4.0f * float(kMaxGridSize) + 300.0f;
    for (float face : {c.lowX, c.highX, c.lowY, c.highY, c.lowZ, c.highZ})
        if (!(std::fabs(face) <= reach)) m_op.malformed = true;
    m_op.announcedLetters = letters;
    m_op.letters.reserve(letters);
}

void Reader::maskData(std::string_view record) {
    const std::string_view letters = fields(record, kMaskData);
    append(record);
    if (m_open != Open::Mask) return;
    if (letters.size() > kMaskLettersPerRecord || m_op.letters.size() + letters.size() > m_op.announcedLetters)
        m_op.malformed = true;
    else
        m_op.letters.append(letters);
}

bool Reader::record(std::string_view record) {
    if (!printable(record)) {
        // Whatever it was meant to be, the operation is not a sender's own.
        if (opens(record, kSeedBegin))
            begin(HistoryOperation::Kind::Seed, record);
        else if (opens(record, kOutlineBegin))
            begin(HistoryOperation::Kind::Outline, record);
        else if (opens(record, kMaskBegin))
            begin(HistoryOperation::Kind::Mask, record);
        if (m_open != Open::None) m_op.malformed = true;
        return true;
    }
    if (record == kSeedEnd) {
        if (m_open != Open::Seed) return true;
        append(record);
        return close();
    }
    if (opens(record, kCutPlane)) {
        cutPlane(record);
    } else if (opens(record, kSeedBegin)) {
        seedBegin(record);
    } else if (record == kOutlineEnd) {
        if (m_open != Open::Outline) return true;
        append(record);
        return close();
    } else if (opens(record, kOutlinePoint)) {
        outlinePoint(record);
    } else if (opens(record, kOutlineBegin)) {
        outlineBegin(record);
    } else if (record == kMaskEnd) {
        if (m_open != Open::Mask) return true;
        append(record);
        if (m_op.letters.size() != m_op.announcedLetters) m_op.malformed = true;
        return close();
    } else if (opens(record, kMaskData)) {
        maskData(record);
    } else if (opens(record, kMaskBegin)) {
        maskBegin(record);
    }
    return true;
}

}  // namespace

std::string floodRecords(const Vec3& seed, bool add, bool boundByCutPlanes,
                         const std::vector<SegmentPlane>& cutPlanes, int low, int high) {
    std::string text(kSeedBegin);
    appendFloats(text, {seed.x, seed.y, seed.z});
    appendInts(text, {1, add ? 1 : 0, boundByCutPlanes ? 1 : 0, int(cutPlanes.size()), low, high});
    text += kRecordEnd;
    for (const SegmentPlane& plane : cutPlanes) {
        text += kCutPlane;
        appendFloats(text, {plane.point.x, plane.point.y, plane.point.z, plane.normal.x,
                            plane.normal.y, plane.normal.z});
        text += kRecordEnd;
    }
    text += kSeedEnd;
    text += kRecordEnd;
    return text;
}

std::string outlineRecords(const Vec3& direction, bool keep, const std::vector<Vec3>& points,
                           float startDepth, int depthRange) {
    std::string text(kOutlineBegin);
    appendFloats(text, {direction.x, direction.y, direction.z});
    appendInts(text, {keep ? 1 : 0, int(points.size())});
    appendFloats(text, {startDepth});
    appendInts(text, {depthRange});
    text += kRecordEnd;
    for (const Vec3& p : points) {
        text += kOutlinePoint;
        appendFloats(text, {p.x, p.y, p.z});
        text += kRecordEnd;
    }
    text += kOutlineEnd;
    text += kRecordEnd;
    return text;
}

int countHistoryOperations(std::string_view history) {
    int count = 0;
    size_t start = 0;
    for (size_t end = history.find(kRecordEnd); end != std::string_view::npos;
         start = end + 1, end = history.find(kRecordEnd, start)) {
        const std::string_view record = history.substr(start, end - start);
        count += record == kSeedEnd || record == kOutlineEnd || record == kMaskEnd;
    }
    return count;
}

std::string maskRecords(int sizeX, int sizeY, int sizeZ, const ClipBox& clip, const std::string& packedRuns,
                        int ordinal) {
    std::string text(kMaskBegin);
    appendInts(text, {sizeX, sizeY, sizeZ});
    appendFloats(text, {clip.lowX, clip.highX, clip.lowY, clip.highY, clip.lowZ, clip.highZ});
    text += ' ';
    text += std::to_string(packedRuns.size());
    appendInts(text, {ordinal});
    text += kRecordEnd;
    for (size_t at = 0; at < packedRuns.size(); at += kMaskLettersPerRecord) {
        text += kMaskData;
        text += ' ';
        text.append(packedRuns, at, kMaskLettersPerRecord);
        text += kRecordEnd;
    }
    text += kMaskEnd;
    text += kRecordEnd;
    return text;
}

void readSegHistory(std::string_view text, const std::function<bool(HistoryOperation&)>& onOperation) {
    Reader reader(onOperation);
    size_t start = 0;
    for (size_t j = text.find(kRecordEnd); j != std::string_view::npos; j = text.find(kRecordEnd, start)) {
        if (!reader.record(text.substr(start, j - start))) return;
        start = j + 1;
    }
}

}  // namespace v3d
