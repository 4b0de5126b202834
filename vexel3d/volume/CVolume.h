#pragma once
// The voxel volume of a 3D window. The stored values belong to the host; the
// volume keeps row pointers into them, a per-voxel mask byte (empty-space
// class of the cell plus visibility bits), the density classes, the HU
// conversions, the iso threshold and window, and the six clip-box planes.
// It also offers the sampling primitives of the ray casters, which may call
// them from several threads at once.

#include "render/math/Mat3.h"
#include "render/math/Vec3.h"
#include "volume/BulkMemory.h"
#include "volume/EmptySpaceBlocks.h"

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace v3d {

class CVolume {
public:
    static constexpr int kClassCount = 63;
    static constexpr uint8_t kClassBits = 0x3F;
    static constexpr uint8_t kSegmentBit = 0x40;
    static constexpr uint8_t kKeptBit = 0x80;
    // Densities the tools set are clamped to +-kMaxHU, the window width to
    // 0..kMaxWidthHU.
    static constexpr int kMaxHU = 2995;
    static constexpr int kMaxWidthHU = 5999;
    // The clip box keeps 3.5 voxels off the low faces and 4.5 off the high
    // ones: fewer voxels than this along an axis leave nothing to show.
    static constexpr int kMinSize = 9;

    CVolume();
    ~CVolume();
    CVolume(const CVolume&) = delete;
    CVolume& operator=(const CVolume&) = delete;

    // Sets the geometry and allocates the row tables and the mask. Values come
    // from one contiguous block (slice after slice) or, when it is null, from
    // one block per slice. False, with the volume left empty, when the sizes,
    // spacings or value pointers cannot describe a volume.
    bool build(int x, int y, int z, uint16_t* block, uint16_t* const* slices,
               float spacingX, float spacingY, float spacingZ, const Vec3& origin,
               const Vec3& rowDir, const Vec3& colDir, const Vec3& sliceDir);
    // Re-points the rows (also after the host has refreshed its memory).
    void setVoxelRows(uint16_t* block, uint16_t* const* slices);
    // Histogram, density classes and mask; all voxels visible again; then the
    // current isovalue and window are applied anew.
    void classify(int32_t rawBase, int32_t rawTop, float intercept, float slope);
    // Both keep the values in HU (isoHU clamped; levelHU, widthHU as given)
    // for the next classify, and set the stored thresholds.
    void setIsoValue(int hu);
    void setWindowLevel(int levelHu, int widthHu);
    // Exchanges everything with other: a volume built aside replaces this
    // one only once it is complete.
    void swap(CVolume& other) noexcept;

    int storedToHU(int stored) const;
    int huToStored(int hu) const;
    // The display window in HU, as the user and the peers see it: the
    // level at the middle stored value, the width between the ends.
    int windowLevelHU() const { return storedToHU((windowLowStored + windowHighStored) / 2); }
    int windowWidthHU() const { return storedToHU(windowHighStored) - storedToHU(windowLowStored); }
    int huDeltaToStored(int huDelta) const;

    Vec3 center() const { return extent * 0.5f; }
    Vec3 halfSize() const { return Vec3(float(sizeX), float(sizeY), float(sizeZ)) * 0.5f; }
    Vec3 getExtent() const { return extent; }
    Mat3 getInverseAxisMatrix() const { return inverseAxisMatrix; }

    void resetBoundaryPlanes();
    bool insideBoundary(const Vec3& p) const;

    // Density class (0 ... 62) of a stored value under the current classes.
    uint8_t classOf(int stored) const;

    // Cell tests; the cell of p is the voxel at the truncated coordinates and
    // its seven neighbours at +1. The caller keeps p inside the clip box.
    bool cellBelowIso(const Vec3& p) const;
    bool allCornersBelow(const Vec3& p) const;
    bool cellTransparent(const Vec3& p, int threshold) const;
    // cellTransparent for every cell of p's 8 x 8 x 8 block at once by the
    // values alone (false until classified). A ray may then take
    // EmptySpaceBlocks::stepsInside steps without testing cells.
    bool blockTransparent(const Vec3& p, int threshold) const;
    // Brings the blocks up to date after the values changed outside classify.
    void updateBlocks();
    // How far around p's block every cell is surely below the iso threshold
    // by the values alone (EmptySpaceBlocks::reach against the smallest
    // value of the iso class): 0 when not even p's block is sure. A ray may
    // then take EmptySpaceBlocks::stepsInsideReach steps without testing
    // cells. It answers as cellBelowIso would as long as the mask's classes
    // are those of the values and no kept voxel carries the segmentation
    // bit, which holds between segmentation operations.
    bool hasIsoReach() const { return blocks.hasReach(); }
    int isoReach(const Vec3& p) const { return blocks.reach(int(p.x), int(p.y), int(p.z)); }

    // kBelowThreshold when cellTransparent(p, threshold), else
    // sampleTrilinear(p): one read of the cell for both, as a
    // maximum-intensity ray needs them one after the other.
    static constexpr float kBelowThreshold = -2.0f;
    float sampleUnlessTransparent(const Vec3& p, int threshold) const;

    // Trilinear sample, or -1 outside [1, size - 1) or in a hidden voxel.
    float sampleTrilinear(float x, float y, float z) const;
    float sampleTrilinear(const Vec3& p) const { return sampleTrilinear(p.x, p.y, p.z); }

    // Searches the iso-surface in the cell of p along dir (mode 0: rising to
    // isoStored, mode 1: falling to it). -1: continue with the next cell,
    // 0: surface found at p, 1: give up the ray (51 cells in a row examined
    // without a crossing on this thread). The search starts where the ray
    // enters the cell, but not before searchFrom (along dir from p, at most
    // 0): a ray clipped by a cut plane finds no surface on the removed side.
    int marchToIso(Vec3& p, const Vec3& dir, int mode, float& distance,
                   float searchFrom = -std::numeric_limits<float>::infinity()) const;
    // Starts the give-up count of marchToIso afresh for a new ray on this
    // thread, so that a ray's surface does not depend on the rays before it.
    static void beginRay();

    // Smoothed-gradient unit normal at p in volume space; p must be at least
    // one voxel from the lower faces and two from the upper ones. A flat
    // neighbourhood gives (0, 0, 0).
    Vec3 normalAt(const Vec3& p) const;

    void release();

    // Row access: voxelRows[z][y][x], cellMask[z][y][x].
    uint16_t*** voxelRows = nullptr;
    uint8_t*** cellMask = nullptr;
    std::vector<uint8_t*> maskSlices;

    int32_t sizeZ = 0;
    int32_t sizeX = 0;
    int32_t sizeY = 0;
    Mat3 axisMatrix;
    Mat3 inverseAxisMatrix;
    Vec3 origin;
    Vec3 extent;
    int32_t windowLowStored = 0;
    int32_t windowHighStored = 0;
    int32_t rawBase = 0;
    int32_t rawTop = 0;
    float rescaleIntercept = 0.0f;
    float rescaleSlope = 1.0f;
    uint16_t isoStored = 0;
    std::vector<uint32_t> histogram;
    std::array<uint16_t, kClassCount> classThresholds{};
    uint8_t isoClass = 0;
    float minSpacing = 1.0f;
    int32_t widthHU = 1000;
    int32_t levelHU = 0;
    int32_t isoHU = -300;
    Vec3 boundaryPoints[6];
    Vec3 boundaryNormals[6];
    EmptySpaceBlocks blocks;

private:
    void buildClassThresholds();
    void buildMask();
    // Whether all eight corner values of cell (i, j, k) are below t.
    bool cornersBelow(int i, int j, int k, int t) const;

    // Owned storage behind voxelRows and cellMask.
    std::vector<uint16_t*> rowTable_;
    std::vector<uint16_t**> sliceRowTable_;
    std::vector<uint8_t*> maskRowTable_;
    std::vector<uint8_t**> maskSliceTable_;
    // The bytes behind maskSlices, slice after slice.
    BulkMemory maskMemory_;
    // Class of every stored value, rebuilt with the thresholds.
    std::vector<uint8_t> classTable_;
    // The smallest stored value whose class is isoClass or above.
    int isoBlockLimit_ = 0;
};

inline bool CVolume::cellBelowIso(const Vec3& p) const
{
    // Hidden voxels (bit 7 clear) always compare below; a kept voxel with
    // the segmentation bit never does.
    return cellMask[int(p.z)][int(p.y)][int(p.x)] < uint8_t(isoClass | kKeptBit);
}

inline bool CVolume::blockTransparent(const Vec3& p, int threshold) const
{
    return blocks.built() && int(blocks.valueMax(int(p.x), int(p.y), int(p.z))) < threshold;
}

inline bool CVolume::cornersBelow(int i, int j, int k, int t) const
{
    const uint16_t* r00 = voxelRows[k][j];
    const uint16_t* r01 = voxelRows[k][j + 1];
    const uint16_t* r10 = voxelRows[k + 1][j];
    const uint16_t* r11 = voxelRows[k + 1][j + 1];
    return r00[i] < t && r00[i + 1] < t && r01[i] < t && r01[i + 1] < t
        && r10[i] < t && r10[i + 1] < t && r11[i] < t && r11[i + 1] < t;
}

inline bool CVolume::allCornersBelow(const Vec3& p) const
{
    return cornersBelow(int(p.x), int(p.y), int(p.z), isoStored);
}

inline bool CVolume::cellTransparent(const Vec3& p, int threshold) const
{
    const int i = int(p.x), j = int(p.y), k = int(p.z);
    return !(cellMask[k][j][i] & kKeptBit) || cornersBelow(i, j, k, threshold);
}

inline float CVolume::sampleTrilinear(float x, float y, float z) const
{
    // Written as a positive test so that a NaN coordinate is refused too.
    if (!(x >= 1.0f && y >= 1.0f && z >= 1.0f && x < float(sizeX - 1) && y < float(sizeY - 1)
          && z < float(sizeZ - 1)))
        return -1.0f;
    const int i = int(x), j = int(y), k = int(z);
    if (!(cellMask[k][j][i] & kKeptBit))
        return -1.0f;
    const float fx = x - float(i), fy = y - float(j), fz = z - float(k);
    const uint16_t* r00 = voxelRows[k][j];
    const uint16_t* r01 = voxelRows[k][j + 1];
    const uint16_t* r10 = voxelRows[k + 1][j];
    const uint16_t* r11 = voxelRows[k + 1][j + 1];
    // Along x on the four rows, then y, then z.
    const float a00 = float(r00[i]) + fx * (float(r00[i + 1]) - float(r00[i]));
    const float a01 = float(r01[i]) + fx * (float(r01[i + 1]) - float(r01[i]));
    const float a10 = float(r10[i]) + fx * (float(r10[i + 1]) - float(r10[i]));
    const float a11 = float(r11[i]) + fx * (float(r11[i + 1]) - float(r11[i]));
    const float b0 = a00 + fy * (a01 - a00);
    const float b1 = a10 + fy * (a11 - a10);
    return b0 + fz * (b1 - b0);
}

inline float CVolume::sampleUnlessTransparent(const Vec3& p, int threshold) const
{
    const float x = p.x, y = p.y, z = p.z;
    const int i = int(x), j = int(y), k = int(z);
    if (!(cellMask[k][j][i] & kKeptBit))
        return kBelowThreshold;
    const uint16_t* r00 = voxelRows[k][j];
    const uint16_t* r01 = voxelRows[k][j + 1];
    const uint16_t* r10 = voxelRows[k + 1][j];
    const uint16_t* r11 = voxelRows[k + 1][j + 1];
    const int v000 = r00[i], v100 = r00[i + 1], v010 = r01[i], v110 = r01[i + 1];
    const int v001 = r10[i], v101 = r10[i + 1], v011 = r11[i], v111 = r11[i + 1];
    if (v000 < threshold && v100 < threshold && v010 < threshold && v110 < threshold && v001 < threshold
        && v101 < threshold && v011 < threshold && v111 < threshold)
        return kBelowThreshold;
    // From here exactly sampleTrilinear, on the values read (the cell is kept).
    if (!(x >= 1.0f && y >= 1.0f && z >= 1.0f && x < float(sizeX - 1) && y < float(sizeY - 1)
          && z < float(sizeZ - 1)))
        return -1.0f;
    const float fx = x - float(i), fy = y - float(j), fz = z - float(k);
    const float a00 = float(v000) + fx * (float(v100) - float(v000));
    const float a01 = float(v010) + fx * (float(v110) - float(v010));
    const float a10 = float(v001) + fx * (float(v101) - float(v001));
    const float a11 = float(v011) + fx * (float(v111) - float(v011));
    const float b0 = a00 + fy * (a01 - a00);
    const float b1 = a10 + fy * (a11 - a10);
    return b0 + fz * (b1 - b0);
}

}  // namespace v3d
