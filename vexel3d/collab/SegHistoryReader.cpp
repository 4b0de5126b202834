#include "collab/SegHistoryReader.h"

#include "wire/StateLines.h"
#include "render/CutPlane.h"
#include "segment/SegmentHistory.h"

#include <cmath>

namespace v3d {

namespace {

// Normals shorter than this have no direction.
constexpr float kMinDirectionLength = 1e-3f;
// An outline is swept along a unit view direction, written to six decimals.
constexpr float kUnitTolerance = 0.01f;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool readVec(FieldReader& r, Vec3& v) { return r.readFloat(v.x) && r.readFloat(v.y) && r.readFloat(v.z); }

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
        m_op.text += 'J';
        m_open = kind == HistoryOperation::Kind::Seed      ? Open::Seed
                 : kind == HistoryOperation::Kind::Outline ? Open::Outline
                                                           : Open::Mask;
    }
    void append(std::string_view record) {
        m_op.text.append(record);
        m_op.text += 'J';
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
    FieldReader r(record.substr(12));
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
    FieldReader r(record.substr(9));
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
    FieldReader r(record.substr(12));
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
    FieldReader r(record.substr(12));
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
    FieldReader r(record.substr(13));
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
    const std::string_view letters = record.substr(12);
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
        if (startsWith(record, "SEGBEGIN "))
            begin(HistoryOperation::Kind::Seed, record);
        else if (startsWith(record, "SEGROIBEGIN "))
            begin(HistoryOperation::Kind::Outline, record);
        else if (startsWith(record, "SEGMASKBEGIN "))
            begin(HistoryOperation::Kind::Mask, record);
        if (m_open != Open::None) m_op.malformed = true;
        return true;
    }
    if (record == "SEGEND") {
        if (m_open != Open::Seed) return true;
        append(record);
        return close();
    }
    if (startsWith(record, "SEGCUTPLANE ")) {
        cutPlane(record);
    } else if (startsWith(record, "SEGBEGIN ")) {
        seedBegin(record);
    } else if (record == "SEGROIEND") {
        if (m_open != Open::Outline) return true;
        append(record);
        return close();
    } else if (startsWith(record, "SEGROIPOINT ")) {
        outlinePoint(record);
    } else if (startsWith(record, "SEGROIBEGIN ")) {
        outlineBegin(record);
    } else if (record == "SEGMASKEND") {
        if (m_open != Open::Mask) return true;
        append(record);
        if (m_op.letters.size() != m_op.announcedLetters) m_op.malformed = true;
        return close();
    } else if (startsWith(record, "SEGMASKDATA ")) {
        maskData(record);
    } else if (startsWith(record, "SEGMASKBEGIN ")) {
        maskBegin(record);
    }
    return true;
}

}  // namespace

void readSegHistory(std::string_view text, const std::function<bool(HistoryOperation&)>& onOperation) {
    Reader reader(onOperation);
    size_t start = 0;
    for (size_t j = text.find('J'); j != std::string_view::npos; j = text.find('J', start)) {
        if (!reader.record(text.substr(start, j - start))) return;
        start = j + 1;
    }
}

}  // namespace v3d
