#include "segment/Segmenter.h"

#include "segment/PolygonTest.h"
#include "segment/SpanFills.h"
#include "volume/CVolume.h"

#include <algorithm>
#include <cstddef>

namespace v3d {

void KeptBox::start(const CVolume& volume)
{
    const int largest = std::max(volume.sizeX, std::max(volume.sizeY, volume.sizeZ));
    minX = minY = minZ = kBoxMinimumSizeFactor * largest;
    maxX = maxY = maxZ = kBoxMaximumStart;
}

namespace {

constexpr uint8_t kNotKept = uint8_t(~kKeptBit);
constexpr uint8_t kNotMarked = uint8_t(~kMarkedBit);

uint16_t storedBound(int value)
{
    return uint16_t(std::clamp(value, 0, 65535));
}

// Calls f(mask byte) for every voxel, slice buffer by slice buffer.
template <class F>
void forEveryVoxel(CVolume& v, F f)
{
    const size_t perSlice = size_t(v.sizeX) * size_t(v.sizeY);
    for (int z = 0; z < v.sizeZ; ++z) {
        uint8_t* m = v.maskSlices[size_t(z)].get();
        for (size_t i = 0; i < perSlice; ++i)
            f(m[i]);
    }
}

// The inner rows (y, z) of the post-passes: 1 .. size - 3 in each index.
template <class F>
void forInnerRows(CVolume& v, F f)
{
    for (int z = kInnerFirst; z <= v.sizeZ - kInnerLastFromEnd; ++z)
        for (int y = kInnerFirst; y <= v.sizeY - kInnerLastFromEnd; ++y)
            f(y, z);
}

}  // namespace

template <class Rule>
bool Segmenter::fill(const Rule& rule, int x, int y, int z)
{
    return fillMethod == FillMethod::Sweep ? fills::sweepVolume(volume_, rule, x, y, z)
                                           : fills::stackVolume(volume_, rule, x, y, z);
}

void Segmenter::resetSegmentation()
{
    forEveryVoxel(volume_, [](uint8_t& m) { m = uint8_t((m & kClassBitsMask) | kKeptBit); });
    volume_.resetBoundaryPlanes();
}

bool Segmenter::floodFromPoint(float x, float y, float z, bool keepOnly, bool bound,
                               const std::vector<SegmentPlane>& cutPlanes, int low, int high)
{
    segLow = storedBound(low);
    segHigh = storedBound(high);
    CVolume& v = volume_;
    // Truncation toward zero: anything above -1 gives index 0 or more. The
    // positive form also refuses NaN.
    if (!(x > -1.0f && y > -1.0f && z > -1.0f && x <= float(v.sizeX - 2)
          && y <= float(v.sizeY - 2) && z <= float(v.sizeZ - 2)))
        return false;
    const int i = int(x), j = int(y), k = int(z);
    for (int dz = 0; dz <= 1; ++dz)
        for (int dy = 0; dy <= 1; ++dy)
            for (int dx = 0; dx <= 1; ++dx)
                if (fills::qualifies(v.voxelRows[k + dz][j + dy][i + dx], segLow, segHigh))
                    return floodFill(i + dx, j + dy, k + dz, keepOnly, bound, cutPlanes, low, high);
    return false;
}

bool Segmenter::floodFill(int x, int y, int z, bool keepOnly, bool bound,
                          const std::vector<SegmentPlane>& cutPlanes, int low, int high)
{
    CVolume& v = volume_;
    if (x < 0 || y < 0 || z < 0 || x >= v.sizeX || y >= v.sizeY || z >= v.sizeZ)
        return false;
    segLow = storedBound(low);
    segHigh = storedBound(high);
    boundByCutPlanes = bound;
    segCutPlanes = cutPlanes;
    kept.start(v);
    if (keepOnly)
        keepObject(x, y, z);
    else
        removeObject(x, y, z);
    clipBoxFromKeptBox();
    return true;
}

void Segmenter::keepObject(int x, int y, int z)
{
    CVolume& v = volume_;
    forEveryVoxel(v, [](uint8_t& m) { m &= kNotKept; });
    fills::AddRule rule;
    rule.low = segLow;
    rule.high = segHigh;
    rule.planes = boundByCutPlanes && !segCutPlanes.empty() ? &segCutPlanes : nullptr;
    rule.box = &kept;
    fill(rule, x, y, z);

    // Every cell with a kept voxel as its upper corner is sampled: the seven
    // lower neighbours of each kept voxel become kept too.
    const int lastX = v.sizeX - kInnerLastFromEnd;
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        uint8_t* below = v.cellMask[slice][row - 1];
        uint8_t* behind = v.cellMask[slice - 1][row];
        uint8_t* behindBelow = v.cellMask[slice - 1][row - 1];
        for (int i = kInnerFirst; i <= lastX; ++i)
            if ((m[i] & (kKeptBit | kMarkedBit)) == kKeptBit) {
                m[i] |= kMarkedBit;
                m[i - 1] |= kKeptBit;
                below[i] |= kKeptBit;
                below[i - 1] |= kKeptBit;
                behind[i] |= kKeptBit;
                behind[i - 1] |= kKeptBit;
                behindBelow[i] |= kKeptBit;
                behindBelow[i - 1] |= kKeptBit;
            }
    });
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        for (int i = kInnerFirst; i <= lastX; ++i)
            m[i] = (m[i] & kKeptBit) ? uint8_t(m[i] & kNotMarked) : uint8_t(m[i] | kMarkedBit);
    });
}

void Segmenter::removeObject(int x, int y, int z)
{
    CVolume& v = volume_;
    fills::RemoveRule rule;
    rule.low = segLow;
    rule.high = segHigh;
    rule.planes = boundByCutPlanes && !segCutPlanes.empty() ? &segCutPlanes : nullptr;
    fill(rule, x, y, z);

    // The cells whose upper corner was removed go with it: their lower
    // corners become hidden (and marked) as well.
    const int lastX = v.sizeX - kInnerLastFromEnd;
    auto hide = [](uint8_t& m) { m = uint8_t((m & kClassBitsMask) | kMarkedBit); };
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        uint8_t* below = v.cellMask[slice][row - 1];
        uint8_t* behind = v.cellMask[slice - 1][row];
        uint8_t* behindBelow = v.cellMask[slice - 1][row - 1];
        for (int i = kInnerFirst; i <= lastX; ++i)
            if (m[i] < kHiddenUnmarkedLimit) {
                m[i] |= kMarkedBit;
                hide(m[i - 1]);
                hide(below[i]);
                hide(below[i - 1]);
                hide(behind[i]);
                hide(behind[i - 1]);
                hide(behindBelow[i]);
                hide(behindBelow[i - 1]);
            }
    });
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        for (int i = kInnerFirst; i <= lastX; ++i)
            if (m[i] & kKeptBit) {
                m[i] &= kNotMarked;
                kept.extend(i, row, slice);
            }
    });
}

bool Segmenter::markBarrierBlock(float x, float y, float z)
{
    CVolume& v = volume_;
    // Truncated indices 0 .. size - 1; the positive form refuses NaN.
    if (!(x > -1.0f && y > -1.0f && z > -1.0f && x < float(v.sizeX) && y < float(v.sizeY)
          && z < float(v.sizeZ)))
        return false;
    const int i0 = int(x), j0 = int(y), k0 = int(z);
    const int i1 = std::min(i0 + 1, v.sizeX - 1);
    const int j1 = std::min(j0 + 1, v.sizeY - 1);
    const int k1 = std::min(k0 + 1, v.sizeZ - 1);
    for (int k : {k0, k1})
        for (int j : {j0, j1}) {
            v.cellMask[k][j][i0] = kBarrier;
            v.cellMask[k][j][i1] = kBarrier;
        }
    return true;
}

void Segmenter::selectRegion(const std::vector<Vec3>& polygon, const Vec3& viewDirection,
                             const Vec3& testAxis, bool keepInside)
{
    CVolume& v = volume_;
    forEveryVoxel(v, [](uint8_t& m) { m &= kNotMarked; });
    kept.start(v);
    for (int z = 0; z < v.sizeZ; ++z)
        for (int y = 0; y < v.sizeY; ++y) {
            const uint8_t* m = v.cellMask[z][y];
            for (int x = 0; x < v.sizeX; ++x)
                if (!(m[x] & kMarkedBit) && m[x] != kBarrier) {
                    const bool inside = insidePolygon(Vec3(float(x), float(y), float(z)), polygon,
                                                      viewDirection, testAxis);
                    fills::MarkRule rule;
                    rule.keep = keepInside ? inside : !inside;
                    fill(rule, x, y, z);
                }
        }
    finishRegion();
    clipBoxFromKeptBox();
}

void Segmenter::finishRegion()
{
    CVolume& v = volume_;
    for (int z = 0; z < v.sizeZ; ++z) {
        const int z1 = std::min(z + 1, v.sizeZ - 1);
        for (int y = 0; y < v.sizeY; ++y) {
            const int y1 = std::min(y + 1, v.sizeY - 1);
            uint8_t* m = v.cellMask[z][y];
            for (int x = 0; x < v.sizeX; ++x) {
                if (m[x] != kBarrier)
                    continue;
                // The largest corner of the cell; corners beyond the last
                // row, column or slice repeat the last one, which changes
                // nothing in a maximum.
                const int x1 = std::min(x + 1, v.sizeX - 1);
                int top = 0;
                for (int k : {z, z1})
                    for (int j : {y, y1}) {
                        const uint16_t* row = v.voxelRows[k][j];
                        top = std::max(top, int(std::max(row[x], row[x1])));
                    }
                m[x] = uint8_t(v.classOf(top) | kMarkedBit);
            }
        }
    }
    for (int z = 0; z < v.sizeZ; ++z)
        for (int y = 0; y < v.sizeY; ++y) {
            uint8_t* m = v.cellMask[z][y];
            for (int x = 0; x < v.sizeX; ++x)
                if (m[x] > kKeptMarkedFloor) {
                    m[x] &= kNotMarked;
                    kept.extend(x, y, z);
                }
        }
}

void Segmenter::clipBoxFromKeptBox()
{
    CVolume& v = volume_;
    const float sx = float(v.sizeX), sy = float(v.sizeY), sz = float(v.sizeZ);
    auto low = [](int keptMin) { return std::max(float(keptMin - kClipMargin), kClipLowestFace); };
    auto high = [](int keptMax, float size) {
        return std::min(float(keptMax + kClipMargin), size - kClipHighestFromEnd);
    };
    v.boundaryPoints[0] = Vec3(sx / 2, sy / 2, low(kept.minZ));
    v.boundaryPoints[1] = Vec3(sx / 2, sy / 2, high(kept.maxZ, sz));
    v.boundaryPoints[2] = Vec3(high(kept.maxX, sx), sy / 2, sz / 2);
    v.boundaryPoints[3] = Vec3(low(kept.minX), sy / 2, sz / 2);
    v.boundaryPoints[4] = Vec3(sx / 2, low(kept.minY), sz / 2);
    v.boundaryPoints[5] = Vec3(sx / 2, high(kept.maxY, sy), sz / 2);
}

}  // namespace v3d
