#pragma once
// The three span kinds of the segmentation and the two ways of growing them
// into a six-neighbour fill: repeated sweeps over rows and slices (no memory
// beyond the mask) and a stack of pending spans (each span taken once, over
// one bit per voxel).
// For the same start they take the same voxels as long as only the running
// operation has left voxels hidden and unmarked; a span stack also never
// starts from anything but the seed's own object.

#include "segment/SegmentMask.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
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
//
// The stack works on one bit per voxel: set while the voxel can still join.
// The bits are built in one pass over the volume (the joining test of a
// voxel depends on that voxel alone, and a voxel taken never joins again),
// so that looking beyond a span reads a few words that stay in the cache
// instead of mask bytes and values scattered over three slices. Taking a
// span clears its bits and applies the rule's change to the mask.
//
// Every span is taken once, when it is found, and waits in the list of its
// slice until the rows next to it have been looked at. Slices are worked off
// one at a time, sweeping up and down through the volume.

class JoinBits {
public:
    template <class Rule>
    JoinBits(const CVolume& v, const Rule& rule)
        : sizeX_(v.sizeX), sizeY_(v.sizeY), words_((v.sizeX + 63) / 64),
          bits_(size_t(words_) * size_t(v.sizeY) * size_t(v.sizeZ))
    {
        // One byte per voxel first (loops the compiler can widen), then
        // eight bytes of 0 or 1 at a time into eight bits.
        constexpr uint64_t kGatherBits = 0x0102040810204080ull;
        std::vector<uint8_t> flags(size_t(words_) * 64, 0);
        for (int z = 0; z < v.sizeZ; ++z)
            for (int y = 0; y < v.sizeY; ++y) {
                const uint8_t* mask = v.cellMask[z][y];
                const uint16_t* values = v.voxelRows[z][y];
                if (rule.hasPlanes()) {
                    for (int x = 0; x < sizeX_; ++x)
                        flags[size_t(x)] = rule.joins(mask, values, x, y, z);
                } else {
                    for (int x = 0; x < sizeX_; ++x)
                        flags[size_t(x)] = rule.joinsByMaskAndValue(mask[x], values[x]);
                }
                uint64_t* out = row(y, z);
                for (int w = 0; w < words_; ++w) {
                    uint64_t word = 0;
                    for (int k = 0; k < 8; ++k) {
                        uint64_t eight;
                        std::memcpy(&eight, flags.data() + size_t(w) * 64 + size_t(k) * 8, sizeof eight);
                        word |= ((eight * kGatherBits) >> 56) << (8 * k);
                    }
                    out[w] = word;
                }
            }
    }

    uint64_t* row(int y, int z) { return bits_.data() + (size_t(z) * size_t(sizeY_) + size_t(y)) * size_t(words_); }
    static bool test(const uint64_t* r, int x) { return (r[x >> 6] >> (x & 63)) & 1u; }

    // First set bit in [from, last], or last + 1.
    static int nextSet(const uint64_t* r, int from, int last)
    {
        int w = from >> 6;
        uint64_t word = r[w] & (~uint64_t(0) << (from & 63));
        for (;;) {
            if (word) {
                const int x = (w << 6) + __builtin_ctzll(word);
                return x <= last ? x : last + 1;
            }
            if (++w > (last >> 6))
                return last + 1;
            word = r[w];
        }
    }
    // First clear bit at or after from, at most sizeX.
    int nextClear(const uint64_t* r, int from) const
    {
        if (from >= sizeX_)
            return sizeX_;
        int w = from >> 6;
        uint64_t word = ~r[w] & (~uint64_t(0) << (from & 63));
        for (;;) {
            if (word) {
                const int x = (w << 6) + __builtin_ctzll(word);
                return x < sizeX_ ? x : sizeX_;
            }
            if (++w >= words_)
                return sizeX_;
            word = ~r[w];
        }
    }
    // Last clear bit at or before from, or -1.
    static int previousClear(const uint64_t* r, int from)
    {
        if (from < 0)
            return -1;
        int w = from >> 6;
        const int shift = 63 - (from & 63);
        uint64_t word = (~r[w] << shift) >> shift;
        for (;;) {
            if (word)
                return (w << 6) + 63 - __builtin_clzll(word);
            if (--w < 0)
                return -1;
            word = ~r[w];
        }
    }
    static void clear(uint64_t* r, int first, int last)
    {
        for (int x = first; x <= last;) {
            const int w = x >> 6, lo = x & 63;
            const int hi = (w << 6) + 63 <= last ? 63 : last & 63;
            const uint64_t span = (hi == 63 ? ~uint64_t(0) : ((uint64_t(1) << (hi + 1)) - 1)) & (~uint64_t(0) << lo);
            r[w] &= ~span;
            x = (w << 6) + hi + 1;
        }
    }

    // Applies the rule's change to every voxel whose bit `before` had and
    // this set has not: the voxels taken since, in memory order.
    template <class Rule>
    void applyTaken(const CVolume& v, const Rule& rule, const JoinBits& before) const
    {
        for (int z = 0; z < v.sizeZ; ++z)
            for (int y = 0; y < sizeY_; ++y) {
                const size_t at = (size_t(z) * size_t(sizeY_) + size_t(y)) * size_t(words_);
                uint8_t* mask = v.cellMask[z][y];
                for (int w = 0; w < words_; ++w)
                    for (uint64_t taken = before.bits_[at + size_t(w)] & ~bits_[at + size_t(w)]; taken;
                         taken &= taken - 1)
                        rule.take(mask[(w << 6) + __builtin_ctzll(taken)]);
            }
    }

private:
    int sizeX_, sizeY_, words_;
    std::vector<uint64_t> bits_;
};

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
