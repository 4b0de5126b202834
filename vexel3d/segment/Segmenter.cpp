#include "segment/Segmenter.h"

#include "segment/PolygonTest.h"
#include "segment/SpanStackFill.h"
#include "segment/SweepFill.h"
#include "volume/CVolume.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

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
        uint8_t* m = v.maskSlices[size_t(z)];
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
    if (fillMethod == FillMethod::Sweep)
        return fills::sweepVolume(volume_, rule, x, y, z);
    // A single fill changes the mask afterwards, in memory order.
    static_assert(Rule::kChangeLater, "a rule whose changes are made as spans are taken");
    fills::JoinBits bits(volume_, rule);
    const fills::JoinBits before = bits;
    const bool taken = fills::stackVolume(volume_, rule, bits, x, y, z);
    bits.applyTaken(volume_, rule, before);
    return taken;
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
    // The seed is the first corner the fill can take: a qualifying value
    // that an earlier operation left hidden (a keep) or hid (a removal) would
    // start nothing, and a keep from it would hide everything.
    const std::vector<SegmentPlane>* planes = bound && !cutPlanes.empty() ? &cutPlanes : nullptr;
    auto canSeed = [&](int cx, int cy, int cz) {
        const uint8_t m = v.cellMask[cz][cy][cx];
        const bool free = keepOnly ? (m & kMarkedBit) == 0 : (m & (kKeptBit | kMarkedBit)) == kKeptBit;
        return free && fills::qualifies(v.voxelRows[cz][cy][cx], segLow, segHigh)
            && (!planes || onKeptSideOfAll(*planes, cx, cy, cz));
    };
    for (int dz = 0; dz <= 1; ++dz)
        for (int dy = 0; dy <= 1; ++dy)
            for (int dx = 0; dx <= 1; ++dx)
                if (canSeed(i + dx, j + dy, k + dz))
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
    // lower neighbours of each kept voxel become kept too. A voxel changes
    // only when later voxels are visited, so each row's own states decide.
    const int lastX = v.sizeX - kInnerLastFromEnd;
    std::vector<uint8_t> spread(size_t(v.sizeX) + 1);
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        uint8_t* below = v.cellMask[slice][row - 1];
        uint8_t* behind = v.cellMask[slice - 1][row];
        uint8_t* behindBelow = v.cellMask[slice - 1][row - 1];
        // spread[i]: voxel i or i + 1 of this row is a kept, unmarked inner
        // voxel, so voxel i of the four rows becomes kept.
        spread[size_t(lastX) + 1] = 0;
        for (int i = lastX; i >= kInnerFirst; --i) {
            const uint8_t keptHere = (m[i] & (kKeptBit | kMarkedBit)) == kKeptBit ? kKeptBit : 0;
            spread[size_t(i)] = keptHere;
            m[i] = uint8_t(m[i] | (keptHere >> 1));
        }
        spread[0] = 0;
        for (int i = 0; i <= lastX; ++i) {
            const uint8_t add = uint8_t(spread[size_t(i)] | spread[size_t(i) + 1]);
            m[i] |= add;
            below[i] |= add;
            behind[i] |= add;
            behindBelow[i] |= add;
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
    // corners become hidden (and marked) as well. As in the keep case each
    // row's own states decide.
    const int lastX = v.sizeX - kInnerLastFromEnd;
    std::vector<uint8_t> removed(size_t(v.sizeX) + 1);
    auto hideWhere = [](uint8_t* __restrict m, const uint8_t* __restrict hide, int last) {
        for (int i = 0; i <= last; ++i) {
            const uint8_t select = uint8_t(0 - hide[i]);
            const uint8_t hidden = uint8_t((m[i] & kClassBitsMask) | kMarkedBit);
            m[i] = uint8_t((m[i] & ~select) | (hidden & select));
        }
    };
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        removed[0] = 0;
        removed[size_t(lastX) + 1] = 0;
        for (int i = kInnerFirst; i <= lastX; ++i)
            removed[size_t(i)] = m[i] < kHiddenUnmarkedLimit ? 1 : 0;
        // Voxel i goes when i or i + 1 was removed.
        for (int i = 0; i <= lastX; ++i)
            removed[size_t(i)] = uint8_t(removed[size_t(i)] | removed[size_t(i) + 1]);
        hideWhere(m, removed.data(), lastX);
        hideWhere(v.cellMask[slice][row - 1], removed.data(), lastX);
        hideWhere(v.cellMask[slice - 1][row], removed.data(), lastX);
        hideWhere(v.cellMask[slice - 1][row - 1], removed.data(), lastX);
    });
    forInnerRows(v, [&](int row, int slice) {
        uint8_t* m = v.cellMask[slice][row];
        int first = -1, last = -1;
        for (int i = kInnerFirst; i <= lastX; ++i)
            if (m[i] & kKeptBit) {
                m[i] &= kNotMarked;
                if (first < 0) first = i;
                last = i;
            }
        if (first >= 0) {
            kept.extend(first, row, slice);
            kept.extendX(last);
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
    // Each part of the grid is decided by the test at its first voxel.
    auto decide = [&](int x, int y, int z) {
        const bool inside = insidePolygon(Vec3(float(x), float(y), float(z)), polygon, viewDirection, testAxis);
        fills::MarkRule rule;
        rule.keep = keepInside ? inside : !inside;
        return rule;
    };
    if (fillMethod == FillMethod::Sweep) {
        for (int z = 0; z < v.sizeZ; ++z)
            for (int y = 0; y < v.sizeY; ++y) {
                const uint8_t* m = v.cellMask[z][y];
                for (int x = 0; x < v.sizeX; ++x)
                    if (!(m[x] & kMarkedBit) && m[x] != kBarrier)
                        fills::sweepVolume(v, decide(x, y, z), x, y, z);
            }
    } else {
        // One set of bits for all parts: a part taken clears its own.
        fills::JoinBits bits(v, fills::MarkRule());
        for (int z = 0; z < v.sizeZ; ++z)
            for (int y = 0; y < v.sizeY; ++y) {
                const uint64_t* row = bits.row(y, z);
                for (int x = fills::JoinBits::nextSet(row, 0, v.sizeX - 1); x < v.sizeX;
                     x = fills::JoinBits::nextSet(row, x, v.sizeX - 1))
                    fills::stackVolume(v, decide(x, y, z), bits, x, y, z);
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
            uint8_t* end = m + v.sizeX;
            for (uint8_t* b = static_cast<uint8_t*>(std::memchr(m, kBarrier, size_t(v.sizeX))); b;
                 b = b + 1 < end ? static_cast<uint8_t*>(std::memchr(b + 1, kBarrier, size_t(end - b - 1))) : nullptr) {
                const int x = int(b - m);
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
                *b = uint8_t(v.classOf(top) | kMarkedBit);
            }
        }
    }
    for (int z = 0; z < v.sizeZ; ++z)
        for (int y = 0; y < v.sizeY; ++y) {
            uint8_t* m = v.cellMask[z][y];
            int first = -1, last = -1;
            for (int x = 0; x < v.sizeX; ++x)
                if (m[x] > kKeptMarkedFloor) {
                    m[x] &= kNotMarked;
                    if (first < 0) first = x;
                    last = x;
                }
            if (first >= 0) {
                kept.extend(first, y, z);
                kept.extendX(last);
            }
        }
}

void Segmenter::clipBoxFromKeptBox()
{
    ClipBox box;
    box.lowX = float(kept.minX - kClipMargin);
    box.highX = float(kept.maxX + kClipMargin);
    box.lowY = float(kept.minY - kClipMargin);
    box.highY = float(kept.maxY + kClipMargin);
    box.lowZ = float(kept.minZ - kClipMargin);
    box.highZ = float(kept.maxZ + kClipMargin);
    setClipBox(volume_, box);
}

void Segmenter::setKeptRuns(const std::vector<uint32_t>& runs, const ClipBox* clip)
{
    CVolume& v = volume_;
    const size_t perSlice = size_t(v.sizeX) * size_t(v.sizeY);
    const size_t count = perSlice * size_t(v.sizeZ);
    uint8_t* mask = count ? v.maskSlices.front() : nullptr;
    kept.start(v);
    size_t at = 0;
    bool keptRun = false;
    for (uint32_t run : runs) {
        const size_t end = std::min(count, at + run);
        const uint8_t flag = keptRun ? kKeptBit : kMarkedBit;
        if (keptRun && end > at) {
            // The first and last voxel of the run bound it in its rows.
            for (size_t i : {at, end - 1}) {
                const size_t slice = i / perSlice, inSlice = i % perSlice;
                kept.extend(int(inSlice % size_t(v.sizeX)), int(inSlice / size_t(v.sizeX)), int(slice));
            }
            // A run that crosses rows covers whole rows in between.
            if ((at / size_t(v.sizeX)) != ((end - 1) / size_t(v.sizeX))) {
                kept.extendX(0);
                kept.extendX(v.sizeX - 1);
            }
        }
        for (size_t i = at; i < end; ++i) mask[i] = uint8_t((mask[i] & kClassBitsMask) | flag);
        at = end;
        keptRun = !keptRun;
    }
    if (clip)
        setClipBox(v, *clip);
    else
        clipBoxFromKeptBox();
}

ClipBox clipBoxOf(const CVolume& volume)
{
    ClipBox box;
    box.lowZ = volume.boundaryPoints[0].z;
    box.highZ = volume.boundaryPoints[1].z;
    box.highX = volume.boundaryPoints[2].x;
    box.lowX = volume.boundaryPoints[3].x;
    box.lowY = volume.boundaryPoints[4].y;
    box.highY = volume.boundaryPoints[5].y;
    return box;
}

void setClipBox(CVolume& v, const ClipBox& faces)
{
    const float sx = float(v.sizeX), sy = float(v.sizeY), sz = float(v.sizeZ);
    // The rays sample within these faces: never closer to the grid's faces
    // than a kept box may come, whoever gave the box (an empty box stays empty).
    ClipBox box = faces;
    box.lowX = std::max(box.lowX, kClipLowestFace);
    box.lowY = std::max(box.lowY, kClipLowestFace);
    box.lowZ = std::max(box.lowZ, kClipLowestFace);
    box.highX = std::min(box.highX, sx - kClipHighestFromEnd);
    box.highY = std::min(box.highY, sy - kClipHighestFromEnd);
    box.highZ = std::min(box.highZ, sz - kClipHighestFromEnd);
    v.boundaryPoints[0] = Vec3(sx / 2, sy / 2, box.lowZ);
    v.boundaryPoints[1] = Vec3(sx / 2, sy / 2, box.highZ);
    v.boundaryPoints[2] = Vec3(box.highX, sy / 2, sz / 2);
    v.boundaryPoints[3] = Vec3(box.lowX, sy / 2, sz / 2);
    v.boundaryPoints[4] = Vec3(sx / 2, box.lowY, sz / 2);
    v.boundaryPoints[5] = Vec3(sx / 2, box.highY, sz / 2);
}

}  // namespace v3d
