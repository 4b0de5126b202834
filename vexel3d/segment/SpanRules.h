#pragma once
// The three span kinds of the segmentation: which voxel may join a span,
// what joining changes, and the span itself along x. Two fills grow spans
// into a six-neighbour fill: repeated sweeps (SweepFill.h, no memory beyond
// the mask) and a span stack (SpanStackFill.h, each span taken once). For
// the same start they take the same voxels as long as only the running
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
    static constexpr bool kChangeLater = true;
    uint16_t low = 0;
    uint16_t high = 0;
    const std::vector<SegmentPlane>* planes = nullptr;  // null: not bound

    bool hasPlanes() const { return planes != nullptr; }
    bool joins(const uint8_t* mask, const uint16_t* values, int x, int y, int z) const
    {
        return (mask[x] & (kKeptBit | kMarkedBit)) == kKeptBit && qualifies(values[x], low, high)
            && (!planes || onKeptSideOfAll(*planes, x, y, z));
    }
    // joins without the planes, without branches.
    bool joinsByMaskAndValue(uint8_t mask, uint16_t value) const
    {
        return ((mask & (kKeptBit | kMarkedBit)) == kKeptBit) & (value >= low) & (value < high);
    }
    void take(uint8_t& mask) const { mask = uint8_t(mask & ~kKeptBit); }
    // Taken by this operation (for the sweeps).
    static bool taken(uint8_t mask) { return mask < kHiddenUnmarkedLimit; }
    void spanTaken(int, int, int, int) const {}
};

// Hidden and unmarked voxels with a qualifying value become kept; the box
// grows by the first index beyond each end of a span and by its row.
struct AddRule {
    static constexpr bool kChangeLater = true;
    uint16_t low = 0;
    uint16_t high = 0;
    const std::vector<SegmentPlane>* planes = nullptr;
    KeptBox* box = nullptr;

    bool hasPlanes() const { return planes != nullptr; }
    bool joins(const uint8_t* mask, const uint16_t* values, int x, int y, int z) const
    {
        return mask[x] < kHiddenUnmarkedLimit && qualifies(values[x], low, high)
            && (!planes || onKeptSideOfAll(*planes, x, y, z));
    }
    bool joinsByMaskAndValue(uint8_t mask, uint16_t value) const
    {
        return (mask < kHiddenUnmarkedLimit) & (value >= low) & (value < high);
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
    // Several fills share one set of bits, each with its own keep flag.
    static constexpr bool kChangeLater = false;
    bool keep = true;

    static bool hasPlanes() { return false; }
    bool joins(const uint8_t* mask, const uint16_t*, int x, int, int) const
    {
        return (mask[x] & kMarkedBit) == 0 && mask[x] != kBarrier;
    }
    bool joinsByMaskAndValue(uint8_t mask, uint16_t) const
    {
        return ((mask & kMarkedBit) == 0) & (mask != kBarrier);
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

}  // namespace fills
}  // namespace v3d
