#pragma once
// Blocks of 8 x 8 x 8 cells with the largest stored value at any of their
// cells' corners, so that a maximum-intensity ray can cross a block that
// cannot raise its maximum without testing each cell (the memory reads of
// those tests are what that renderer spends its time on). Rebuild whenever
// the values change.

#include "render/math/Vec3.h"

#include <cstdint>
#include <vector>

namespace v3d {

class EmptySpaceBlocks {
public:
    static constexpr int kShift = 3;
    static constexpr int kSize = 1 << kShift;

    // Reach (below) is dropped: set a limit afterwards. With histogram
    // (classify_passes::kValueCount entries, overwritten) the values are
    // counted too, in the same read of each row: classification then reads
    // the voxels once for both.
    void build(uint16_t* const* const* rows, int nx, int ny, int nz, uint32_t* histogram = nullptr);
    void clear();
    bool built() const { return !valueMax_.empty(); }

    // Of the block holding cell (i, j, k).
    uint16_t valueMax(int i, int j, int k) const { return valueMax_[index(i, j, k)]; }

    // Reach of every block against a value limit: the Chebyshev distance,
    // in blocks, to the nearest block whose valueMax is at or above the
    // limit (0 for such a block, at most kMaxReach). Every block less than
    // the reach away from a block then holds only values below the limit.
    // Does nothing when the reach for this limit is already there.
    static constexpr int kMaxReach = 255;
    void setReachLimit(int limit);
    bool hasReach() const { return !reach_.empty(); }
    int reachLimit() const { return reachLimit_; }
    int reach(int i, int j, int k) const { return reach_[index(i, j, k)]; }

    // How many unit steps along dir from p surely keep every position they
    // start from inside the cube of blocks less than `reach` blocks from
    // p's block (reach >= 1), p itself included; at most kMaxRun, 0 when
    // not even p is sure. The margin covers the rounding of kMaxRun
    // repeated adds at the magnitude of the positions.
    static constexpr int kMaxRun = 256;
    static int stepsInsideReach(const Vec3& p, const Vec3& dir, const Vec3& inverseDir, int reach);

    // How many unit steps along dir from p surely keep every position they
    // start from inside p's block, the position p itself included: 0 when
    // not even p is sure. A margin covers the rounding of repeated adds.
    // inverseDir holds 1 / dir per axis (any value where dir is 0), taken
    // once per ray.
    static int stepsInside(const Vec3& p, const Vec3& dir, const Vec3& inverseDir);
    static Vec3 inverseOf(const Vec3& dir);

private:
    size_t index(int i, int j, int k) const {
        return (size_t(k >> kShift) * size_t(blocksY_) + size_t(j >> kShift)) * size_t(blocksX_) + size_t(i >> kShift);
    }
    // countTables (four tables, see classify_passes::countRow) or null.
    void buildSlab(uint16_t* const* const* rows, int nx, int ny, int nz, int bk0, int bk1, uint32_t* countTables);

    int blocksX_ = 0;
    int blocksY_ = 0;
    int blocksZ_ = 0;
    std::vector<uint16_t> valueMax_;
    int reachLimit_ = -1;
    std::vector<uint8_t> reach_;
};

}  // namespace v3d
