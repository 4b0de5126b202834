#pragma once
// The segmentation history's records, written by the view's operations and
// read back by the replay, a peer's or a saved state's: one codec for both.
// Every record ends with the letter J instead of a line feed, so that a
// whole history fits in one state line.
//
// Three operations:
// - a flood from a seed: "SEGBEGIN x y z 1 add bound planes low highJ", one
//   "SEGCUTPLANE px py pz nx ny nzJ" per plane it respects, "SEGENDJ";
// - an outline swept along a direction: "SEGROIBEGIN dx dy dz keep count
//   startDepth depthRangeJ", one "SEGROIPOINT x y zJ" per point, "SEGROIENDJ";
// - a mask set whole (an imported segmentation): "SEGMASKBEGIN sizeX sizeY
//   sizeZ lowX highX lowY highY lowZ highZ letters ordinalJ" (the clip box,
//   the length of the packed kept runs, and how many operations the history
//   held before it: the same mask set again later is another operation, and
//   a replay must not take it for one it holds), "SEGMASKDATA ...J" records
//   of at most kMaskLettersPerRecord letters, "SEGMASKENDJ".
//
// Reading keeps each operation's exact text, which the replay compares with
// the local history. A record of a known form whose fields do not parse
// exactly (nothing after them) or lie outside what any local operation
// writes, and any record with bytes a state line cannot carry, make the
// open operation malformed: it is read to its end and never replayed.

#include "render/math/Vec3.h"
#include "wire/WireLimits.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace v3d {

// One cut plane as a flood sees it.
struct SegmentPlane {
    Vec3 point;
    Vec3 normal;
};

// The faces of the volume's clip box in index units, as boundaryPoints 3
// and 2 (x), 4 and 5 (y), 0 and 1 (z) hold them; the normals never change.
struct ClipBox {
    float lowX = 0, highX = 0, lowY = 0, highY = 0, lowZ = 0, highZ = 0;
};

std::string floodRecords(const Vec3& seed, bool add, bool boundByCutPlanes,
                         const std::vector<SegmentPlane>& cutPlanes, int low, int high);
std::string outlineRecords(const Vec3& direction, bool keep, const std::vector<Vec3>& points,
                           float startDepth, int depthRange);
std::string maskRecords(int sizeX, int sizeY, int sizeZ, const ClipBox& clip, const std::string& packedRuns,
                        int ordinal);
// The operations of a history this view wrote: its closing records.
int countHistoryOperations(std::string_view history);

struct HistoryOperation {
    enum class Kind { Seed, Outline, Mask };
    Kind kind = Kind::Seed;
    std::string text;  // the records, each with its final J
    bool malformed = false;

    // Seed operation.
    Vec3 seed;
    bool add = true;
    bool boundByCutPlanes = false;
    int low = 0;
    int high = 0;
    std::vector<SegmentPlane> planes;

    // Outline operation.
    Vec3 direction;
    bool keep = true;
    int announcedPoints = 0;
    float startDepth = 0.0f;
    int depthRange = 0;
    std::vector<Vec3> points;

    // Mask operation: the grid it was made for, the clip box and the packed
    // kept runs (KeptMaskCodec).
    int sizeX = 0, sizeY = 0, sizeZ = 0;
    ClipBox clip;
    size_t announcedLetters = 0;
    std::string letters;
};

// Calls onOperation for every closed operation in text order; returning
// false stops the reading. Text after the last J is ignored, as are
// records that match no form and closing records without an open operation.
void readSegHistory(std::string_view text, const std::function<bool(HistoryOperation&)>& onOperation);

}  // namespace v3d
