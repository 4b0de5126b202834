#pragma once
// One bit per voxel for the span stack: set while the voxel can still join.
// The bits are built in one pass over the volume (the joining test of a
// voxel depends on that voxel alone, and a voxel taken never joins again),
// so that looking beyond a span reads a few words that stay in the cache
// instead of mask bytes and values scattered over three slices.

#include "volume/CVolume.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace v3d {
namespace fills {

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

    int words() const { return words_; }
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

}  // namespace fills
}  // namespace v3d
