#pragma once
// The span-stack fill over JoinBits. Every span is taken once, when it is
// found (its bits cleared, the rule's change made to the mask now or in one
// pass afterwards), and waits in the list of its slice until the rows next
// to it have been looked at. Slices are worked off one at a time, moving to
// the neighbouring slice with more waiting, so that the rows touched lie in
// three neighbouring slices.

#include "segment/JoinBits.h"
#include "segment/SpanRules.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace v3d {
namespace fills {

// A span taken and not yet looked beyond, with the span of the row it was
// reached from: that part of the parent row is taken already.
struct PendingSpan {
    int32_t first, last, y;
    int32_t parentFirst, parentLast;
    // The parent row: -1 none, 0 y - 1, 1 y + 1, 2 z - 1, 3 z + 1.
    int32_t parentSide;
};

// The spans waiting in each slice, in chunks that go back to a shared pool
// when emptied: no list is ever copied to grow, and the memory of one slice
// serves the next.
class PendingLists {
public:
    explicit PendingLists(int slices) : top_(size_t(slices), nullptr), counts_(size_t(slices), 0) {}

    void push(int z, const PendingSpan& s)
    {
        Chunk* c = top_[size_t(z)];
        if (!c || c->count == kChunkSpans) {
            Chunk* fresh = takeChunk();
            fresh->below = c;
            top_[size_t(z)] = c = fresh;
        }
        c->spans[size_t(c->count++)] = s;
        ++counts_[size_t(z)];
        ++waiting_;
    }
    bool pop(int z, PendingSpan& s)
    {
        Chunk* c = top_[size_t(z)];
        if (!c)
            return false;
        s = c->spans[size_t(--c->count)];
        if (c->count == 0) {
            top_[size_t(z)] = c->below;
            free_.push_back(c);
        }
        --counts_[size_t(z)];
        --waiting_;
        return true;
    }
    size_t count(int z) const { return counts_[size_t(z)]; }
    size_t waiting() const { return waiting_; }

private:
    static constexpr int kChunkSpans = 1024;
    struct Chunk {
        std::array<PendingSpan, kChunkSpans> spans;
        int count = 0;
        Chunk* below = nullptr;
    };
    Chunk* takeChunk()
    {
        if (free_.empty()) {
            owned_.push_back(std::make_unique<Chunk>());
            return owned_.back().get();
        }
        Chunk* c = free_.back();
        free_.pop_back();
        c->below = nullptr;
        return c;
    }

    std::vector<std::unique_ptr<Chunk>> owned_;
    std::vector<Chunk*> free_;
    std::vector<Chunk*> top_;
    std::vector<size_t> counts_;
    size_t waiting_ = 0;
};

// runSpan on the bits: right from x, then left from x - 1. The change is
// made to the mask bytes of the voxels taken now, or for rules that fill
// only once, afterwards in one pass in memory order (JoinBits::applyTaken),
// which spares a scattered write to every voxel taken.
template <class Rule>
bool takeSpanBits(const CVolume& v, const Rule& rule, JoinBits& bits, int x, int y, int z, int& first,
                  int& last, int& beyondRight)
{
    uint64_t* r = bits.row(y, z);
    const int right = JoinBits::test(r, x) ? bits.nextClear(r, x) : x;
    const int left = JoinBits::previousClear(r, x - 1);
    beyondRight = right;
    if (right == x && left == x - 1)
        return false;
    first = left + 1;
    last = right - 1;
    JoinBits::clear(r, first, last);
    if (!Rule::kChangeLater) {
        uint8_t* mask = v.cellMask[z][y];
        for (int i = first; i <= last; ++i)
            rule.take(mask[i]);
    }
    rule.spanTaken(left, right, y, z);
    return true;
}

// Takes every span of row (y, z) that touches [first, last] and queues it.
template <class Rule>
void takeTouching(const CVolume& v, const Rule& rule, JoinBits& bits, const PendingSpan& from, int side,
                  int first, int last, int y, int z, PendingLists& pending)
{
    const uint64_t* r = bits.row(y, z);
    for (int x = JoinBits::nextSet(r, first, last); x <= last; x = JoinBits::nextSet(r, x, last)) {
        int spanFirst = 0, spanLast = 0, beyond = 0;
        takeSpanBits(v, rule, bits, x, y, z, spanFirst, spanLast, beyond);
        pending.push(z, {spanFirst, spanLast, y, from.first, from.last, side});
        x = beyond;
        if (x > last)
            break;
    }
}

// The row next to span s (in slice z) on the given side; in the row s came
// from only the parts beyond its parent span can hold anything new. The
// span found there has s's row on the opposite side.
template <class Rule>
void takeNeighbourRow(const CVolume& v, const Rule& rule, JoinBits& bits, const PendingSpan& s, int z, int side,
                      PendingLists& pending)
{
    static constexpr int kOpposite[4] = {1, 0, 3, 2};
    const int y = side == 0 ? s.y - 1 : side == 1 ? s.y + 1 : s.y;
    const int rowZ = side == 2 ? z - 1 : side == 3 ? z + 1 : z;
    const int back = kOpposite[side];
    if (side != s.parentSide) {
        takeTouching(v, rule, bits, s, back, s.first, s.last, y, rowZ, pending);
        return;
    }
    if (s.first < s.parentFirst)
        takeTouching(v, rule, bits, s, back, s.first, s.parentFirst - 1, y, rowZ, pending);
    if (s.last > s.parentLast)
        takeTouching(v, rule, bits, s, back, s.parentLast + 1, s.last, y, rowZ, pending);
}

// The fill from (x0, y0, z0) over the bits built for the same rule (they may
// be shared by several fills whose voxels do not meet).
template <class Rule>
bool stackVolume(const CVolume& v, const Rule& rule, JoinBits& bits, int x0, int y0, int z0)
{
    int first = 0, last = 0, beyond = 0;
    if (!takeSpanBits(v, rule, bits, x0, y0, z0, first, last, beyond))
        return false;
    PendingLists pending(v.sizeZ);
    // The seed span has no parent row.
    pending.push(z0, {first, last, y0, 0, -1, -1});
    int z = z0, direction = 1;
    for (;;) {
        PendingSpan s;
        while (pending.pop(z, s)) {
            if (s.y > 0) takeNeighbourRow(v, rule, bits, s, z, 0, pending);
            if (s.y < v.sizeY - 1) takeNeighbourRow(v, rule, bits, s, z, 1, pending);
            if (z > 0) takeNeighbourRow(v, rule, bits, s, z, 2, pending);
            if (z < v.sizeZ - 1) takeNeighbourRow(v, rule, bits, s, z, 3, pending);
        }
        if (pending.waiting() == 0)
            return true;
        // Next the neighbouring slice with more waiting, so that little
        // waits anywhere; else on through the volume to the next work.
        const size_t below = z > 0 ? pending.count(z - 1) : 0;
        const size_t above = z < v.sizeZ - 1 ? pending.count(z + 1) : 0;
        if (below > 0 || above > 0)
            direction = below > above ? -1 : 1;
        else if (z + direction < 0 || z + direction >= v.sizeZ)
            direction = -direction;
        z += direction;
    }
}

}  // namespace fills
}  // namespace v3d
