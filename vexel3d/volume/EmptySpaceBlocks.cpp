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

void EmptySpaceBlocks::build(uint16_t* const* const* rows, int nx, int ny, int nz, uint32_t* histogram) {
    clear();
    if (histogram) std::fill(histogram, histogram + classify_passes::kValueCount, 0u);
    if (!rows || nx <= 0 || ny <= 0 || nz <= 0) return;
    blocksX_ = (nx + kSize - 1) >> kShift;
    blocksY_ = (ny + kSize - 1) >> kShift;
    blocksZ_ = (nz + kSize - 1) >> kShift;
    const size_t count = size_t(blocksX_) * size_t(blocksY_) * size_t(blocksZ_);
    valueMax_.assign(count, 0);
    const uint64_t voxels = uint64_t(nx) * uint64_t(ny) * uint64_t(nz);
    // Slabs of whole block layers: each thread writes only its own blocks,
    // and counts into its own tables, summed at the end.
    std::vector<std::vector<uint32_t>> tables(histogram ? size_t(blocksZ_) : 0);
    const std::vector<int> bounds = classify_passes::forEachSlab(blocksZ_, voxels, [&](int slab, int bk0, int bk1) {
        uint32_t* counts = nullptr;
        if (histogram) {
            tables[size_t(slab)].assign(4 * size_t(classify_passes::kValueCount), 0u);
            counts = tables[size_t(slab)].data();
        }
        buildSlab(rows, nx, ny, nz, bk0, bk1, counts);
    });
    if (histogram) classify_passes::sumTables(tables, bounds.size() - 1, histogram);
}

namespace {

// acc[x] = max(acc[x], row[x]): vectorised, unlike a reduction per block.
void maxIntoRow(uint16_t* __restrict acc, const uint16_t* __restrict row, int n) {
    for (int x = 0; x < n; ++x) acc[x] = acc[x] > row[x] ? acc[x] : row[x];
}

}  // namespace

void EmptySpaceBlocks::buildSlab(uint16_t* const* const* rows, int nx, int ny, int nz, int bk0, int bk1,
                                 uint32_t* countTables) {
    // Each row is folded into the column maxima of its block rows (a plane
    // of blocksY_ rows of nx per block layer); a layer's plane is reduced
    // to its blocks once its last slice is in. A block's cells reach one
    // voxel past it on each axis, so a row on a block face also goes to the
    // block row below, and a slice on a layer face also to the layer below,
    // whose plane stays open for that slice.
    const size_t plane = size_t(blocksY_) * size_t(nx);
    std::vector<uint16_t> current(plane, 0), below(plane, 0);
    auto reduce = [&](const std::vector<uint16_t>& columns, int layer) {
        for (int c = 0; c < blocksY_; ++c) {
            const uint16_t* col = &columns[size_t(c) * size_t(nx)];
            uint16_t* out = &valueMax_[(size_t(layer) * size_t(blocksY_) + size_t(c)) * size_t(blocksX_)];
            for (int b = 0; b < blocksX_; ++b) {
                const int x1 = std::min((b + 1) << kShift, nx - 1);
                uint16_t m = 0;
                for (int x = b << kShift; x <= x1; ++x) m = col[x] > m ? col[x] : m;
                out[b] = m;
            }
        }
    };
    const int zFirst = bk0 << kShift;
    const int zLast = std::min(bk1 << kShift, nz - 1);
    // The slice past the slab belongs to the next slab's count.
    const int zCountEnd = std::min(bk1 << kShift, nz);
    for (int z = zFirst; z <= zLast; ++z) {
        const int layer = z >> kShift;
        const bool onFace = z > zFirst && (z & (kSize - 1)) == 0;
        if (onFace) {
            current.swap(below);
            std::fill(current.begin(), current.end(), uint16_t(0));
        }
        const bool own = layer < bk1;
        const bool counting = countTables && z < zCountEnd;
        for (int y = 0; y < ny; ++y) {
            const uint16_t* row = rows[z][y];
            if (counting) classify_passes::countRow(row, nx, countTables);
            const int c = y >> kShift;
            const bool rowOnFace = y > 0 && (y & (kSize - 1)) == 0;
            if (own) {
                maxIntoRow(&current[size_t(c) * size_t(nx)], row, nx);
                if (rowOnFace) maxIntoRow(&current[size_t(c - 1) * size_t(nx)], row, nx);
            }
            if (onFace) {
                maxIntoRow(&below[size_t(c) * size_t(nx)], row, nx);
                if (rowOnFace) maxIntoRow(&below[size_t(c - 1) * size_t(nx)], row, nx);
            }
        }
        if (onFace) reduce(below, layer - 1);
    }
    if ((zLast >> kShift) < bk1) reduce(current, zLast >> kShift);
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
