#pragma once
// Fills by sweeping rows and slices again and again until a whole round
// changes nothing: no memory beyond the mask, but a convoluted object costs
// a round per turn.

#include "segment/SpanRules.h"

namespace v3d {
namespace fills {

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

}  // namespace fills
}  // namespace v3d
