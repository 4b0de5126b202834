#include "segment/SegmentHistory.h"

#include <charconv>

namespace v3d {

namespace {

constexpr int kFixedDecimals = 6;
constexpr char kRecordEnd = 'J';

void appendFloats(std::string& out, std::initializer_list<float> values)
{
    for (float value : values) {
        out += ' ';
        out += fixedSix(value);
    }
}

void appendInts(std::string& out, std::initializer_list<int> values)
{
    for (int value : values) {
        out += ' ';
        out += std::to_string(value);
    }
}

}  // namespace

std::string fixedSix(float value)
{
    // Room for the largest float written out in full.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, double(value),
                                      std::chars_format::fixed, kFixedDecimals);
    return std::string(buffer, result.ptr);
}

std::string floodRecords(const Vec3& seed, bool add, bool boundByCutPlanes,
                         const std::vector<SegmentPlane>& cutPlanes, int low, int high)
{
    std::string text = "SEGBEGIN";
    appendFloats(text, {seed.x, seed.y, seed.z});
    appendInts(text, {1, add ? 1 : 0, boundByCutPlanes ? 1 : 0, int(cutPlanes.size()), low, high});
    text += kRecordEnd;
    for (const SegmentPlane& plane : cutPlanes) {
        text += "SEGCUTPLANE";
        appendFloats(text, {plane.point.x, plane.point.y, plane.point.z, plane.normal.x,
                            plane.normal.y, plane.normal.z});
        text += kRecordEnd;
    }
    text += "SEGEND";
    text += kRecordEnd;
    return text;
}

std::string outlineRecords(const Vec3& direction, bool keep, const std::vector<Vec3>& points,
                           float startDepth, int depthRange)
{
    std::string text = "SEGROIBEGIN";
    appendFloats(text, {direction.x, direction.y, direction.z});
    appendInts(text, {keep ? 1 : 0, int(points.size())});
    appendFloats(text, {startDepth});
    appendInts(text, {depthRange});
    text += kRecordEnd;
    for (const Vec3& p : points) {
        text += "SEGROIPOINT";
        appendFloats(text, {p.x, p.y, p.z});
        text += kRecordEnd;
    }
    text += "SEGROIEND";
    text += kRecordEnd;
    return text;
}

int countHistoryOperations(std::string_view history)
{
    int count = 0;
    size_t start = 0;
    for (size_t end = history.find(kRecordEnd); end != std::string_view::npos;
         start = end + 1, end = history.find(kRecordEnd, start)) {
        const std::string_view record = history.substr(start, end - start);
        count += record == "SEGEND" || record == "SEGROIEND" || record == "SEGMASKEND";
    }
    return count;
}

std::string maskRecords(int sizeX, int sizeY, int sizeZ, const ClipBox& clip, const std::string& packedRuns,
                        int ordinal)
{
    std::string text = "SEGMASKBEGIN";
    appendInts(text, {sizeX, sizeY, sizeZ});
    appendFloats(text, {clip.lowX, clip.highX, clip.lowY, clip.highY, clip.lowZ, clip.highZ});
    text += ' ';
    text += std::to_string(packedRuns.size());
    appendInts(text, {ordinal});
    text += kRecordEnd;
    for (size_t at = 0; at < packedRuns.size(); at += kMaskLettersPerRecord) {
        text += "SEGMASKDATA ";
        text.append(packedRuns, at, kMaskLettersPerRecord);
        text += kRecordEnd;
    }
    text += "SEGMASKEND";
    text += kRecordEnd;
    return text;
}

}  // namespace v3d
