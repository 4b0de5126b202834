#pragma once
// The records that each segmentation appends to the view's history, the
// text that peers replay. Every record ends with the letter J instead of a
// line feed, so that a whole history fits in one line. Floats are written
// as "%f" would in the C locale, whatever the process locale is.

#include "render/math/Vec3.h"
#include "segment/SegmentMask.h"

#include <string>
#include <string_view>
#include <vector>

namespace v3d {

// Six decimals, '.' as the decimal point.
std::string fixedSix(float value);

// "SEGBEGIN x y z 1 add bound planes low highJ", one "SEGCUTPLANE ...J" per
// plane (its point and normal), "SEGENDJ".
std::string floodRecords(const Vec3& seed, bool add, bool boundByCutPlanes,
                         const std::vector<SegmentPlane>& cutPlanes, int low, int high);

// "SEGROIBEGIN dx dy dz keep count startDepth depthRangeJ", one
// "SEGROIPOINT x y zJ" per outline point, "SEGROIENDJ".
std::string outlineRecords(const Vec3& direction, bool keep, const std::vector<Vec3>& points,
                           float startDepth, int depthRange);

// A mask set whole (an imported segmentation): "SEGMASKBEGIN sizeX sizeY
// sizeZ lowX highX lowY highY lowZ highZ letters ordinalJ" (the clip box,
// the length of the packed kept runs, and how many operations the history
// held before it: the same mask set again later is another operation, and
// a replay must not take it for one it holds), "SEGMASKDATA ...J" records of at most
// kMaskLettersPerRecord letters each, "SEGMASKENDJ". Every state text
// carries the whole history, so the packed mask has a limit.
constexpr size_t kMaxMaskLetters = 512 * 1024;
constexpr size_t kMaskLettersPerRecord = 4096;
// The operations of a history this view wrote: its closing records.
int countHistoryOperations(std::string_view history);
std::string maskRecords(int sizeX, int sizeY, int sizeZ, const ClipBox& clip, const std::string& packedRuns,
                        int ordinal);

}  // namespace v3d
