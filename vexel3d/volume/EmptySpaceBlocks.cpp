#include "volume/EmptySpaceBlocks.h"

#include "volume/ClassifyPasses.h"

#include <algorithm>
#include <cmath>

namespace v3d {

void EmptySpaceBlocks::clear() {
    blocksX_ = blocksY_ = blocksZ_ = 0;
    valueMax_.clear();
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
