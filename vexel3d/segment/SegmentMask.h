#pragma once
// The segmentation's view of the volume's mask byte, the numbers that the
// operations share, and the test against the cut planes a flood may respect.

#include "render/math/Vec3.h"
#include "volume/CVolume.h"
#include "wire/SegRecords.h"

#include <cstdint>
#include <vector>

namespace v3d {

// Bits of the mask byte (class in bits 0-5, `marked` in bit 6, `kept` in 7).
constexpr uint8_t kClassBitsMask = CVolume::kClassBits;
constexpr uint8_t kMarkedBit = CVolume::kSegmentBit;
constexpr uint8_t kKeptBit = CVolume::kKeptBit;
// A voxel of a region cut's barrier surface: all class bits, hidden, unmarked.
constexpr uint8_t kBarrier = 63;
// Masks below this are hidden and unmarked: taken by the running operation.
constexpr uint8_t kHiddenUnmarkedLimit = 64;
// Masks above this are kept and marked.
constexpr uint8_t kKeptMarkedFloor = 191;

// The post-passes of a flood leave index 0 and the last two indices of each
// dimension alone: they visit 1 .. size - 3.
constexpr int kInnerFirst = 1;
constexpr int kInnerLastFromEnd = 3;

// Clip box around the kept voxels: a margin of 3 voxels, never closer to the
// volume's faces than 3.5 (lower) and 4.5 (upper) voxels.
constexpr int kClipMargin = 3;
constexpr float kClipLowestFace = 3.5f;
constexpr float kClipHighestFromEnd = 4.5f;

// Start of the kept bounding box: minima at twice the largest size, maxima
// here, so that a box nothing extended is empty.
constexpr int kBoxMinimumSizeFactor = 2;
constexpr int kBoxMaximumStart = -255;

// Kept side: less than one unit along the normal from the plane.
inline bool onKeptSide(const SegmentPlane& plane, float x, float y, float z)
{
    return dot(plane.normal, plane.point + plane.normal - Vec3(x, y, z)) > 0.0f;
}

inline bool onKeptSideOfAll(const std::vector<SegmentPlane>& planes, int x, int y, int z)
{
    for (const SegmentPlane& plane : planes)
        if (!onKeptSide(plane, float(x), float(y), float(z)))
            return false;
    return true;
}

// Bounding box of the voxels left visible.
struct KeptBox {
    int32_t minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;

    void start(const CVolume& volume);
    void extendX(int x)
    {
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
    }
    void extendYZ(int y, int z)
    {
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
        if (z < minZ) minZ = z;
        if (z > maxZ) maxZ = z;
    }
    void extend(int x, int y, int z)
    {
        extendX(x);
        extendYZ(y, z);
    }
    bool operator==(const KeptBox& o) const
    {
        return minX == o.minX && maxX == o.maxX && minY == o.minY && maxY == o.maxY
            && minZ == o.minZ && maxZ == o.maxZ;
    }
};

ClipBox clipBoxOf(const CVolume& volume);
// Sets the faces, each limited to the grid as the clip box's margins say.
void setClipBox(CVolume& volume, const ClipBox& box);

}  // namespace v3d
