#pragma once
// The three span kinds of the segmentation and the two ways of growing them
// into a six-neighbour fill: repeated sweeps over rows and slices (no memory
// beyond the mask) and a stack of pending spans (each span visited once).
// For the same start they take the same voxels as long as only the running
// operation has left voxels hidden and unmarked; a span stack also never
// starts from anything but the seed's own object.

#include "segment/SegmentMask.h"

#include <cstdint>
#include <vector>

namespace v3d {
namespace fills {

inline bool qualifies(uint16_t value, uint16_t low, uint16_t high)
{
    return value >= low && value < high;
}

// Kept and unmarked voxels with a qualifying value become hidden.
struct RemoveRule {
    uint16_t low = 0;
    uint16_t high = 0;
    const std::vector<SegmentPlane>* planes = nullptr;  // null: not bound

    bool joins(const uint8_t* mask, const uint16_t* values, int x, int y, int z) const
    {
        return (mask[x] & (kKeptBit | kMarkedBit)) == kKeptBit && qualifies(values[x], low, high)
            && (!planes || onKeptSideOfAll(*planes, x, y, z));
    }
    void take(uint8_t& mask) const { mask = uint8_t(mask & ~kKeptBit); }
    // Taken by this operation (for the sweeps).
    static bool taken(uint8_t mask) { return mask < kHiddenUnmarkedLimit; }
    void spanTaken(int, int, int, int) const {}
};

// Hidden and unmarked voxels with a qualifying value become kept; the box
// grows by the first index beyond each end of a span and by its row.
struct AddRule {
    uint16_t low = 0;
    uint16_t high = 0;
    const std::vector<SegmentPlane>* planes = nullptr;
    KeptBox* box = nullptr;

    bool joins(const uint8_t* mask, const uint16_t* values, int x, int y, int z) const
    {
        return mask[x] < kHiddenUnmarkedLimit && qualifies(values[x], low, high)
            && (!planes || onKeptSideOfAll(*planes, x, y, z));
    }
    void take(uint8_t& mask) const { mask = uint8_t(mask | kKeptBit); }
    static bool taken(uint8_t mask) { return (mask & kKeptBit) != 0; }
    void spanTaken(int beyondLeft, int beyondRight, int y, int z) const
    {
        box->extendX(beyondLeft);
        box->extendX(beyondRight);
        box->extendYZ(y, z);
    }
};

// Unmarked voxels other than the barrier become marked (and hidden unless
// the part is kept); values and planes do not matter.
struct MarkRule {
    bool keep = true;

    bool joins(const uint8_t* mask, const uint16_t*, int x, int, int) const
    {
        return (mask[x] & kMarkedBit) == 0 && mask[x] != kBarrier;
    }
    void take(uint8_t& mask) const
    {
        mask = uint8_t(mask | kMarkedBit);
        if (!keep) mask = uint8_t(mask & ~kKeptBit);
    }
    static bool taken(uint8_t mask) { return (mask & kMarkedBit) != 0; }
    void spanTaken(int, int, int, int) const {}
};

// A span from x: right from x, then left from x - 1. x becomes the first
// index beyond the right end; [first, last] are the voxels taken.
template <class Rule>
bool runSpan(const CVolume& v, const Rule& rule, int& x, int y, int z, int& first, int& last)
{
    uint8_t* mask = v.cellMask[z][y];
    const uint16_t* values = v.voxelRows[z][y];
    const int x0 = x;
    int right = x0;
    while (right < v.sizeX && rule.joins(mask, values, right, y, z))
        rule.take(mask[right++]);
    int left = x0 - 1;
    while (left >= 0 && rule.joins(mask, values, left, y, z))
        rule.take(mask[left--]);
    x = right;
    if (right == x0 && left == x0 - 1)
        return false;
    rule.spanTaken(left, right, y, z);
    first = left + 1;
    last = right - 1;  // x - 1 also when x itself could not join
    return true;
}

// --- Repeated sweeps --------------------------------------------------------

// Spans in row y wherever the voxel in row `from` was taken and the voxel
// in row y can join; the sweep goes on behind each span.
template <class Rule>
bool sweepRow(const CVolume& v, const Rule& rule, int y, int from, int z)
{
    const uint8_t* source = v.cellMask[z][from];
    const uint8_t* mask = v.cellMask[z][y];
    const uint16_t* values = v.voxelRows[z][y];
    bool changed = false;
    int first = 0, last = 0;
    for (int x = 0; x < v.sizeX;) {
        if (Rule::taken(source[x]) && rule.joins(mask, values, x, y, z)) {
            runSpan(v, rule, x, y, z, first, last);
            changed = true;
        } else {
            ++x;
        }
    }
    return changed;
}

template <class Rule>
bool sweepSlice(const CVolume& v, const Rule& rule, int x0, int y0, int z)
{
    int x = x0, first = 0, last = 0;
    if (!runSpan(v, rule, x, y0, z, first, last))
        return false;
    for (bool firstRound = true;; firstRound = false) {
        bool changed = false;
        for (int y = firstRound ? y0 + 1 : 1; y <= v.sizeY - 1; ++y)
            changed |= sweepRow(v, rule, y, y - 1, z);
        for (int y = v.sizeY - 2; y >= 0; --y)
            changed |= sweepRow(v, rule, y, y + 1, z);
        if (!changed)
            return true;
    }
}

// Slice fills in slice z wherever the voxel of slice `from` was taken.
template <class Rule>
bool sweepSliceAgainst(const CVolume& v, const Rule& rule, int z, int from)
{
    bool changed = false;
    for (int y = 0; y < v.sizeY; ++y) {
        const uint8_t* source = v.cellMask[from][y];
        const uint8_t* mask = v.cellMask[z][y];
        const uint16_t* values = v.voxelRows[z][y];
        for (int x = 0; x < v.sizeX; ++x)
            if (Rule::taken(source[x]) && rule.joins(mask, values, x, y, z)) {
                sweepSlice(v, rule, x, y, z);
                changed = true;
            }
    }
    return changed;
}

template <class Rule>
bool sweepVolume(const CVolume& v, const Rule& rule, int x0, int y0, int z0)
{
    if (!sweepSlice(v, rule, x0, y0, z0))
        return false;
    for (bool firstRound = true;; firstRound = false) {
        bool changed = false;
        for (int z = firstRound ? z0 + 1 : 1; z <= v.sizeZ - 1; ++z)
            changed |= sweepSliceAgainst(v, rule, z, z - 1);
        for (int z = v.sizeZ - 2; z >= 0; --z)
            changed |= sweepSliceAgainst(v, rule, z, z + 1);
        if (!changed)
            return true;
    }
}

// --- Span stack -------------------------------------------------------------

struct PendingSpan {
    int32_t first, last, y, z;
};

// Takes every span of row (y, z) that touches [first, last] and queues it.
template <class Rule>
void takeTouching(const CVolume& v, const Rule& rule, int first, int last, int y, int z,
                  std::vector<PendingSpan>& pending)
{
    const uint8_t* mask = v.cellMask[z][y];
    const uint16_t* values = v.voxelRows[z][y];
    for (int x = first; x <= last;) {
        if (rule.joins(mask, values, x, y, z)) {
            int spanFirst = 0, spanLast = 0;
            runSpan(v, rule, x, y, z, spanFirst, spanLast);
            pending.push_back({spanFirst, spanLast, y, z});
        } else {
            ++x;
        }
    }
}

template <class Rule>
bool stackVolume(const CVolume& v, const Rule& rule, int x0, int y0, int z0)
{
    int x = x0, first = 0, last = 0;
    if (!runSpan(v, rule, x, y0, z0, first, last))
        return false;
    std::vector<PendingSpan> pending;
    pending.push_back({first, last, y0, z0});
    while (!pending.empty()) {
        const PendingSpan s = pending.back();
        pending.pop_back();
        if (s.y > 0) takeTouching(v, rule, s.first, s.last, s.y - 1, s.z, pending);
        if (s.y < v.sizeY - 1) takeTouching(v, rule, s.first, s.last, s.y + 1, s.z, pending);
        if (s.z > 0) takeTouching(v, rule, s.first, s.last, s.y, s.z - 1, pending);
        if (s.z < v.sizeZ - 1) takeTouching(v, rule, s.first, s.last, s.y, s.z + 1, pending);
    }
    return true;
}

}  // namespace fills
}  // namespace v3d
