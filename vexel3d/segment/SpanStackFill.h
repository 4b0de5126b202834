#pragma once
// The span-stack fill over JoinBits, 64 voxels of a row at a time. The
// spans of a row word that touch voxels just taken next to it are found and
// taken together with word operations (runs through seed bits), their bits
// cleared and the rule's change made to the mask now or in one pass
// afterwards. What was taken waits, as (row, word, bits), in the list of its
// slice until the rows next to it have been looked at. Slices are worked off
// one at a time, moving to the neighbouring slice with more waiting, so that
// the rows touched lie in three neighbouring slices.

#include "segment/JoinBits.h"
#include "segment/SpanRules.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace v3d {
namespace fills {

// Voxels taken together in one word of a row, not yet looked beyond.
struct PendingSpan {
    int32_t y;
    int32_t word;
    uint64_t bits;
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

// The runs of `join` that hold a bit of `seeds`, within one word: the seeds
// spread up and then down through consecutive join bits, doubling the
// reach at each step.
inline uint64_t runsThrough(uint64_t join, uint64_t seeds)
{
    uint64_t up = seeds & join, pass = join;
    up |= pass & (up << 1);
    pass &= pass << 1;
    up |= pass & (up << 2);
    pass &= pass << 2;
    up |= pass & (up << 4);
    pass &= pass << 4;
    up |= pass & (up << 8);
    pass &= pass << 8;
    up |= pass & (up << 16);
    pass &= pass << 16;
    up |= pass & (up << 32);
    uint64_t down = seeds & join;
    pass = join;
    down |= pass & (down >> 1);
    pass &= pass >> 1;
    down |= pass & (down >> 2);
    pass &= pass >> 2;
    down |= pass & (down >> 4);
    pass &= pass >> 4;
    down |= pass & (down >> 8);
    pass &= pass >> 8;
    down |= pass & (down >> 16);
    pass &= pass >> 16;
    down |= pass & (down >> 32);
    return up | down;
}

constexpr uint64_t kLowestBit = 1;
constexpr uint64_t kHighestBit = uint64_t(1) << 63;

// Takes `taken` (join bits of word w of row (y, z)) and queues it. A span
// boxes by the first index beyond each end; the pieces of a span in other
// words lie inside those bounds, so lowest - 1 and highest + 1 per word
// give the same box.
template <class Rule>
void takeWord(const CVolume& v, const Rule& rule, uint64_t* row, int w, uint64_t taken, int y, int z,
              PendingLists& pending)
{
    row[w] &= ~taken;
    const int base = w << 6;
    if (!Rule::kChangeLater) {
        uint8_t* mask = v.cellMask[z][y];
        for (uint64_t t = taken; t; t &= t - 1)
            rule.take(mask[base + __builtin_ctzll(t)]);
    }
    rule.spanTaken(base + __builtin_ctzll(taken) - 1, base + 63 - __builtin_clzll(taken) + 1, y, z);
    pending.push(z, {y, w, taken});
}

// Takes the whole spans of row (y, z) through the seed bits of word w
// (join bits), following spans that run on into the words beside it.
template <class Rule>
void takeRuns(const CVolume& v, const Rule& rule, JoinBits& bits, int w, uint64_t seeds, int y, int z,
              PendingLists& pending)
{
    uint64_t* row = bits.row(y, z);
    const uint64_t taken = runsThrough(row[w], seeds);
    takeWord(v, rule, row, w, taken, y, z, pending);
    uint64_t edge = taken;
    for (int next = w + 1; (edge & kHighestBit) && next < bits.words() && (row[next] & kLowestBit); ++next) {
        edge = runsThrough(row[next], kLowestBit);
        takeWord(v, rule, row, next, edge, y, z, pending);
    }
    edge = taken;
    for (int next = w - 1; (edge & kLowestBit) && next >= 0 && (row[next] & kHighestBit); --next) {
        edge = runsThrough(row[next], kHighestBit);
        takeWord(v, rule, row, next, edge, y, z, pending);
    }
}

// The fill from (x0, y0, z0) over the bits built for the same rule (they may
// be shared by several fills whose voxels do not meet). Like a span from
// x0: the span through x0, or else the one ending at x0 - 1.
template <class Rule>
bool stackVolume(const CVolume& v, const Rule& rule, JoinBits& bits, int x0, int y0, int z0)
{
    const uint64_t* seedRow = bits.row(y0, z0);
    int seedX = x0;
    if (!JoinBits::test(seedRow, seedX)) {
        seedX = x0 - 1;
        if (seedX < 0 || !JoinBits::test(seedRow, seedX))
            return false;
    }
    PendingLists pending(v.sizeZ);
    takeRuns(v, rule, bits, seedX >> 6, uint64_t(1) << (seedX & 63), y0, z0, pending);
    int z = z0, direction = 1;
    for (;;) {
        PendingSpan s;
        while (pending.pop(z, s)) {
            auto look = [&](int y, int rowZ) {
                const uint64_t seeds = bits.row(y, rowZ)[s.word] & s.bits;
                if (seeds)
                    takeRuns(v, rule, bits, s.word, seeds, y, rowZ, pending);
            };
            if (s.y > 0) look(s.y - 1, z);
            if (s.y < v.sizeY - 1) look(s.y + 1, z);
            if (z > 0) look(s.y, z - 1);
            if (z < v.sizeZ - 1) look(s.y, z + 1);
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
