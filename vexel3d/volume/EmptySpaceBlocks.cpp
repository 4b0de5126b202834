#include "volume/EmptySpaceBlocks.h"

#include "volume/ClassifyPasses.h"

#include <algorithm>
#include <cstddef>
#include <cmath>

namespace v3d {

void EmptySpaceBlocks::clear() {
    blocksX_ = blocksY_ = blocksZ_ = 0;
    valueMax_.clear();
    reach_.clear();
    reachLimit_ = -1;
}

void EmptySpaceBlocks::build(uint16_t* const* const* rows, int nx, int ny, int nz) {
    clear();
    if (!rows || nx <= 0 || ny <= 0 || nz <= 0) return;
    blocksX_ = (nx + kSize - 1) >> kShift;
    blocksY_ = (ny + kSize - 1) >> kShift;
    blocksZ_ = (nz + kSize - 1) >> kShift;
    const size_t count = size_t(blocksX_) * size_t(blocksY_) * size_t(blocksZ_);
    valueMax_.assign(count, 0);
    const uint64_t voxels = uint64_t(nx) * uint64_t(ny) * uint64_t(nz);
    // Slabs of whole block layers: each thread writes only its own blocks.
    classify_passes::forEachSlab(blocksZ_, voxels, [&](int, int bk0, int bk1) {
        buildSlab(rows, nx, ny, nz, bk0, bk1);
    });
}

void EmptySpaceBlocks::buildSlab(uint16_t* const* const* rows, int nx, int ny, int nz, int bk0, int bk1) {
    std::vector<uint16_t> rowValueMax(static_cast<size_t>(blocksX_));
    const int zFirst = bk0 << kShift;
    // Values: a block's cells reach one voxel past the block on each axis.
    const int zLast = std::min(bk1 << kShift, nz - 1);
    for (int z = zFirst; z <= zLast; ++z) {
        for (int y = 0; y < ny; ++y) {
            const uint16_t* row = rows[z][y];
            // Each block's eight values and the first of the next block (its
            // cells' far corners), reduced in registers.
            const int fullBlocks = nx >> kShift;
            for (int b = 0; b < fullBlocks; ++b) {
                const uint16_t* v = row + (b << kShift);
                uint16_t m = v[0];
                for (int k = 1; k < kSize; ++k) m = v[k] > m ? v[k] : m;
                const int next = (b + 1) << kShift;
                if (next < nx && row[next] > m) m = row[next];
                rowValueMax[size_t(b)] = m;
            }
            if (fullBlocks < blocksX_) {
                uint16_t m = 0;
                for (int x = fullBlocks << kShift; x < nx; ++x) m = row[x] > m ? row[x] : m;
                rowValueMax[size_t(fullBlocks)] = m;
            }
            const int bz[2] = {z >> kShift, (z & (kSize - 1)) == 0 ? (z >> kShift) - 1 : -1};
            const int by[2] = {y >> kShift, (y & (kSize - 1)) == 0 ? (y >> kShift) - 1 : -1};
            for (int a : bz) {
                if (a < bk0 || a >= bk1 || a >= blocksZ_) continue;
                for (int c : by) {
                    if (c < 0 || c >= blocksY_) continue;
                    uint16_t* out = &valueMax_[(size_t(a) * size_t(blocksY_) + size_t(c)) * size_t(blocksX_)];
                    for (int b = 0; b < blocksX_; ++b) out[b] = std::max(out[b], rowValueMax[size_t(b)]);
                }
            }
        }
    }
}

Vec3 EmptySpaceBlocks::inverseOf(const Vec3& dir) {
    auto inverse = [](float v) { return v != 0.0f ? 1.0f / v : 0.0f; };
    return {inverse(dir.x), inverse(dir.y), inverse(dir.z)};
}

int EmptySpaceBlocks::stepsInside(const Vec3& p, const Vec3& dir, const Vec3& inverseDir) {
    // Positions come from repeated adds: allow for their rounding (a few
    // thousandths over the ~14 steps a block can hold at these magnitudes).
    constexpr float kMargin = 4e-3f;
    float most = 64.0f;
    const float pos[3] = {p.x, p.y, p.z};
    const float step[3] = {dir.x, dir.y, dir.z};
    const float inverse[3] = {inverseDir.x, inverseDir.y, inverseDir.z};
    for (int axis = 0; axis < 3; ++axis) {
        const float low = static_cast<float>(static_cast<int>(pos[axis]) & ~(kSize - 1));
        float room;
        if (step[axis] > 0.0f)
            room = (low + kSize - pos[axis] - kMargin) * inverse[axis];
        else if (step[axis] < 0.0f)
            room = (low + kMargin - pos[axis]) * inverse[axis];
        else
            continue;
        most = room < most ? room : most;
    }
    return most < 0.0f ? 0 : static_cast<int>(most) + 1;
}

}  // namespace v3d

namespace v3d {

void EmptySpaceBlocks::setReachLimit(int limit) {
    if (!built() || (hasReach() && limit == reachLimit_)) return;
    reachLimit_ = limit;
    // Two raster passes over the 26 neighbours, forward then backward, give
    // the exact Chebyshev distance: a shortest path moves each coordinate
    // one way only, so its steps can be ordered with those the forward
    // pass follows first. Saturating at kMaxReach only lowers a reach. The
    // grid is padded by one block of kMaxReach on every side, so that no
    // neighbour needs a bounds test.
    const int nx = blocksX_, ny = blocksY_, nz = blocksZ_;
    const int px = nx + 2, py = ny + 2, pz = nz + 2;
    std::vector<uint8_t> padded(size_t(px) * size_t(py) * size_t(pz), uint8_t(kMaxReach));
    auto at = [px, py](int x, int y, int z) { return (size_t(z) * size_t(py) + size_t(y)) * size_t(px) + size_t(x); };
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                if (int(valueMax_[(size_t(z) * size_t(ny) + size_t(y)) * size_t(nx) + size_t(x)]) >= limit)
                    padded[at(x + 1, y + 1, z + 1)] = 0;
    // The 13 neighbours before a block in raster order.
    ptrdiff_t before[13];
    int n = 0;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int order = dz != 0 ? dz : (dy != 0 ? dy : dx);
                if (order < 0) before[n++] = (ptrdiff_t(dz) * py + dy) * px + dx;
            }
    uint8_t* const r = padded.data();
    for (int z = 1; z <= nz; ++z)
        for (int y = 1; y <= ny; ++y) {
            uint8_t* row = r + at(0, y, z);
            for (int x = 1; x <= nx; ++x) {
                if (row[x] == 0) continue;
                int best = row[x];
                for (ptrdiff_t o : before) best = std::min(best, int(row[x + o]) + 1);
                row[x] = uint8_t(best);
            }
        }
    for (int z = nz; z >= 1; --z)
        for (int y = ny; y >= 1; --y) {
            uint8_t* row = r + at(0, y, z);
            for (int x = nx; x >= 1; --x) {
                if (row[x] == 0) continue;
                int best = row[x];
                for (ptrdiff_t o : before) best = std::min(best, int(row[x - o]) + 1);
                row[x] = uint8_t(best);
            }
        }
    reach_.resize(valueMax_.size());
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            std::copy_n(r + at(1, y + 1, z + 1), nx, &reach_[(size_t(z) * size_t(ny) + size_t(y)) * size_t(nx)]);
}

int EmptySpaceBlocks::stepsInsideReach(const Vec3& p, const Vec3& dir, const Vec3& inverseDir, int reach) {
    const float pos[3] = {p.x, p.y, p.z};
    const float step[3] = {dir.x, dir.y, dir.z};
    const float inverse[3] = {inverseDir.x, inverseDir.y, inverseDir.z};
    // Every add rounds by at most half an ulp of its result, which stays
    // below the far side of the cube: kMaxRun of them, twice over for the
    // rounding of the step count itself, and a little more.
    const float extent = float(reach * kSize);
    const float magnitude = std::max(std::fabs(p.x), std::max(std::fabs(p.y), std::fabs(p.z))) + extent + kSize;
    const float margin = magnitude * (2.0f * kMaxRun / 16777216.0f) + 1e-3f;
    float most = float(kMaxRun - 1);
    for (int axis = 0; axis < 3; ++axis) {
        const int block = static_cast<int>(pos[axis]) >> kShift;
        float room;
        if (step[axis] > 0.0f)
            room = (float((block + reach) * kSize) - pos[axis] - margin) * inverse[axis];
        else if (step[axis] < 0.0f)
            room = (float((block - reach + 1) * kSize) + margin - pos[axis]) * inverse[axis];
        else
            continue;
        most = room < most ? room : most;
    }
    return most < 0.0f ? 0 : static_cast<int>(most) + 1;
}

}  // namespace v3d
