#include "volume/CVolume.h"

#include "volume/ClassifyPasses.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace v3d {

namespace {

constexpr int kMaxIsoStored = 32767;
constexpr int kValueCount = classify_passes::kValueCount;

// Truncation toward zero that saturates instead of overflowing, so that a
// degenerate rescale (slope 0 from a broken header) cannot turn into
// undefined behaviour.
int truncateToInt(float v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483520.0f)
        return INT_MAX;
    if (v <= -2147483648.0f)
        return INT_MIN;
    return int(v);
}

bool finitePositive(float v) { return std::isfinite(v) && v > 0.0f; }

} // namespace

CVolume::CVolume() : histogram(kValueCount, 0u), classTable_(kValueCount, uint8_t(kClassCount - 1))
{
}

CVolume::~CVolume() { release(); }

bool CVolume::build(int x, int y, int z, uint16_t* block, uint16_t* const* slices,
                    float spacingX, float spacingY, float spacingZ, const Vec3& originIn,
                    const Vec3& rowDir, const Vec3& colDir, const Vec3& sliceDir)
{
    // Tables of an earlier series would leak or dangle if kept.
    release();
    if (x <= 0 || y <= 0 || z <= 0 || (!block && !slices) || !finitePositive(spacingX)
        || !finitePositive(spacingY) || !finitePositive(spacingZ))
        return false;

    minSpacing = std::min(spacingX, std::min(spacingY, spacingZ));
    const Vec3 colX = rowDir * (spacingX / minSpacing);
    const Vec3 colY = colDir * (spacingY / minSpacing);
    const Vec3 colZ = sliceDir * (spacingZ / minSpacing);
    extent = colX * float(x) + colY * float(y) + colZ * float(z);
    axisMatrix = Mat3::fromColumns(colX, colY, colZ);
    inverseAxisMatrix = inverse(axisMatrix);

    origin = originIn;
    sizeX = x;
    sizeY = y;
    sizeZ = z;

    const size_t rows = size_t(y) * size_t(z);
    rowTable_.assign(rows, nullptr);
    sliceRowTable_.resize(size_t(z));
    maskRowTable_.assign(rows, nullptr);
    maskSliceTable_.resize(size_t(z));
    maskSlices.resize(size_t(z));
    const size_t sliceBytes = size_t(x) * size_t(y);
    maskMemory_ = BulkMemory(sliceBytes * size_t(z));
    for (int k = 0; k < z; ++k) {
        sliceRowTable_[size_t(k)] = rowTable_.data() + size_t(k) * size_t(y);
        maskSlices[size_t(k)] = maskMemory_.data() + size_t(k) * sliceBytes;
        maskSliceTable_[size_t(k)] = maskRowTable_.data() + size_t(k) * size_t(y);
        for (int j = 0; j < y; ++j)
            maskSliceTable_[size_t(k)][j] = maskSlices[size_t(k)] + size_t(j) * size_t(x);
    }
    voxelRows = sliceRowTable_.data();
    cellMask = maskSliceTable_.data();
    setVoxelRows(block, slices);
    resetBoundaryPlanes();
    return true;
}

void CVolume::swap(CVolume& other) noexcept
{
    using std::swap;
    swap(voxelRows, other.voxelRows);
    swap(cellMask, other.cellMask);
    swap(maskSlices, other.maskSlices);
    maskMemory_.swap(other.maskMemory_);
    swap(sizeZ, other.sizeZ);
    swap(sizeX, other.sizeX);
    swap(sizeY, other.sizeY);
    swap(axisMatrix, other.axisMatrix);
    swap(inverseAxisMatrix, other.inverseAxisMatrix);
    swap(origin, other.origin);
    swap(extent, other.extent);
    swap(windowLowStored, other.windowLowStored);
    swap(windowHighStored, other.windowHighStored);
    swap(rawBase, other.rawBase);
    swap(rawTop, other.rawTop);
    swap(rescaleIntercept, other.rescaleIntercept);
    swap(rescaleSlope, other.rescaleSlope);
    swap(isoStored, other.isoStored);
    swap(histogram, other.histogram);
    swap(classThresholds, other.classThresholds);
    swap(isoClass, other.isoClass);
    swap(minSpacing, other.minSpacing);
    swap(widthHU, other.widthHU);
    swap(levelHU, other.levelHU);
    swap(isoHU, other.isoHU);
    swap(boundaryPoints, other.boundaryPoints);
    swap(boundaryNormals, other.boundaryNormals);
    swap(blocks, other.blocks);
    swap(rowTable_, other.rowTable_);
    swap(sliceRowTable_, other.sliceRowTable_);
    swap(maskRowTable_, other.maskRowTable_);
    swap(maskSliceTable_, other.maskSliceTable_);
    swap(classTable_, other.classTable_);
    swap(isoBlockLimit_, other.isoBlockLimit_);
}

void CVolume::setVoxelRows(uint16_t* block, uint16_t* const* slices)
{
    if (!voxelRows || (!block && !slices))
        return;
    for (int k = 0; k < sizeZ; ++k) {
        uint16_t* slice = block ? block + size_t(k) * size_t(sizeY) * size_t(sizeX) : slices[k];
        for (int j = 0; j < sizeY; ++j)
            voxelRows[k][j] = slice + size_t(j) * size_t(sizeX);
    }
}

void CVolume::release()
{
    voxelRows = nullptr;
    cellMask = nullptr;
    std::vector<uint16_t*>().swap(rowTable_);
    std::vector<uint16_t**>().swap(sliceRowTable_);
    std::vector<uint8_t*>().swap(maskRowTable_);
    std::vector<uint8_t**>().swap(maskSliceTable_);
    std::vector<uint8_t*>().swap(maskSlices);
    maskMemory_ = BulkMemory();
    blocks.clear();
    // With zero sizes every sample reports "outside" instead of reading
    // freed tables.
    sizeX = sizeY = sizeZ = 0;
}

void CVolume::classify(int32_t base, int32_t top, float intercept, float slope)
{
    rawBase = base;
    rawTop = top;
    rescaleIntercept = intercept;
    rescaleSlope = slope;
    if (voxelRows) {
        // The blocks and the histogram in one read of the values; their
        // reach follows with the isovalue below.
        blocks.build(voxelRows, sizeX, sizeY, sizeZ, histogram.data());
        buildClassThresholds();
        buildMask();
    }
    resetBoundaryPlanes();
    setIsoValue(isoHU);
    setWindowLevel(levelHU, widthHU);
}

void CVolume::buildClassThresholds()
{
    // Equal-population classes: threshold i is the first value at which the
    // running count reaches (i + 1) / 63 of the voxels, one threshold per
    // value at most.
    const uint64_t n = uint64_t(sizeX) * uint64_t(sizeY) * uint64_t(sizeZ);
    const uint64_t q = n / kClassCount;
    classThresholds.fill(uint16_t(kValueCount - 1));
    uint64_t sum = 0;
    int next = 0;
    for (int v = 0; v < kValueCount && next < kClassCount; ++v) {
        sum += histogram[size_t(v)];
        if (sum >= uint64_t(next + 1) * q)
            classThresholds[size_t(next++)] = uint16_t(v);
    }
    // Thresholds never decrease, so a value's class is the count of the
    // first 62 thresholds at or below it.
    int cls = 0;
    for (int v = 0; v < kValueCount; ++v) {
        while (cls < kClassCount - 1 && v >= classThresholds[size_t(cls)])
            ++cls;
        classTable_[size_t(v)] = uint8_t(cls);
    }
}

uint8_t CVolume::classOf(int stored) const
{
    return classTable_[size_t(std::clamp(stored, 0, kValueCount - 1))];
}

void CVolume::buildMask()
{
    using classify_passes::forEachSlab;
    const uint64_t voxels = uint64_t(sizeX) * uint64_t(sizeY) * uint64_t(sizeZ);
    const size_t sliceBytes = size_t(sizeX) * size_t(sizeY);
    std::vector<std::vector<uint8_t>> firstSlices(size_t(std::max(1, sizeZ)));
    const int nx = sizeX, ny = sizeY;
    uint16_t* const* const* rows = voxelRows;
    const uint8_t* table = classTable_.data();
    const std::vector<int> bounds = forEachSlab(sizeZ, voxels, [&](int slab, int k0, int k1) {
        std::vector<uint8_t>& first = firstSlices[size_t(slab)];
        first.resize(sliceBytes);
        classify_passes::buildCellClasses(rows, maskSlices, table, nx, ny, k0, k1, first.data());
    });
    // The last slice of each slab takes the maximum over the next slab's
    // first slice as it was before that slab changed it.
    for (size_t slab = 1; slab + 1 < bounds.size(); ++slab) {
        uint8_t* below = maskSlices[size_t(bounds[slab]) - 1];
        const uint8_t* first = firstSlices[slab].data();
        for (size_t i = 0; i < sliceBytes; ++i)
            below[i] = std::max(below[i], first[i]);
    }
}

void CVolume::setIsoValue(int hu)
{
    // Kept so that a refresh of the volume applies the same isovalue again.
    isoHU = std::clamp(hu, -kMaxHU, kMaxHU);
    const int s = std::clamp(huToStored(isoHU), 0, kMaxIsoStored);
    isoStored = uint16_t(s);
    isoClass = classOf(s);
    int limit = 0;
    while (limit < kValueCount && classTable_[size_t(limit)] < isoClass)
        ++limit;
    isoBlockLimit_ = limit;
    blocks.setReachLimit(isoBlockLimit_);
}

void CVolume::setWindowLevel(int levelHu, int widthHu)
{
    levelHU = levelHu;
    widthHU = widthHu;
    const int width = std::clamp(widthHu, 0, kMaxWidthHU);
    const int level = std::clamp(levelHu, -kMaxHU, kMaxHU);
    const int half = width / 2;
    windowHighStored = huToStored(level + half);
    windowLowStored = huToStored(level - half);
}

int CVolume::storedToHU(int stored) const
{
    const float base = float(rawBase) * rescaleSlope + rescaleIntercept;
    const float step = rescaleSlope * (rawBase < rawTop ? 1.0f : -1.0f);
    return truncateToInt(base + step * float(stored));
}

int CVolume::huToStored(int hu) const
{
    const float base = float(rawBase) * rescaleSlope + rescaleIntercept;
    const float step = rescaleSlope * (rawBase < rawTop ? 1.0f : -1.0f);
    return truncateToInt((float(hu) - base) / step);
}

int CVolume::huDeltaToStored(int huDelta) const
{
    const float step = rescaleSlope * (rawBase < rawTop ? 1.0f : -1.0f);
    return truncateToInt(float(huDelta) / step);
}

void CVolume::resetBoundaryPlanes()
{
    const float x = float(sizeX), y = float(sizeY), z = float(sizeZ);
    boundaryPoints[0] = {x / 2, y / 2, 3.5f};
    boundaryNormals[0] = {0, 0, -1};
    boundaryPoints[1] = {x / 2, y / 2, z - 4.5f};
    boundaryNormals[1] = {0, 0, 1};
    boundaryPoints[2] = {x - 4.5f, y / 2, z / 2};
    boundaryNormals[2] = {1, 0, 0};
    boundaryPoints[3] = {3.5f, y / 2, z / 2};
    boundaryNormals[3] = {-1, 0, 0};
    boundaryPoints[4] = {x / 2, 3.5f, z / 2};
    boundaryNormals[4] = {0, -1, 0};
    boundaryPoints[5] = {x / 2, y - 4.5f, z / 2};
    boundaryNormals[5] = {0, 1, 0};
}

bool CVolume::insideBoundary(const Vec3& p) const
{
    return boundaryPoints[3].x <= p.x && p.x <= boundaryPoints[2].x
        && boundaryPoints[0].z <= p.z && p.z <= boundaryPoints[1].z
        && boundaryPoints[4].y <= p.y && p.y <= boundaryPoints[5].y;
}

namespace {

// Cells examined in a row without finding the surface, per tracing thread.
// Each ray starts it afresh (beginRay): carried over, it made a ray give up
// at a point that depended on the rays traced before it.
thread_local int t_cellsWithoutCrossing = 0;

constexpr int kGiveUpCells = 51;
constexpr float kMarchStep = 0.2f;
constexpr float kNoLimit = 8000.0f;

// Entry and exit parameter of the unit slab [0, 1] for fraction f moving by d.
inline void slab(float f, float d, float& entry, float& exit)
{
    if (d > 0.0f) {
        entry = -f / d;
        exit = (1.0f - f) / d;
    } else if (d < 0.0f) {
        entry = (1.0f - f) / d;
        exit = f / -d;
    } else {
        entry = -kNoLimit;
        exit = kNoLimit;
    }
}

// Four floats in one register (GCC and Clang vector extension).
typedef float Float4 __attribute__((vector_size(16)));
typedef uint16_t Half4 __attribute__((vector_size(8)));

inline Float4 loadRow4(const uint16_t* values)
{
    Half4 h;
    std::memcpy(&h, values, sizeof h);
    return __builtin_convertvector(h, Float4);
}

} // namespace

int CVolume::marchToIso(Vec3& p, const Vec3& dir, int mode, float& distance, float searchFrom) const
{
    // The eight corners are read once, for both the all-below test and the
    // search.
    const int i = int(p.x), j = int(p.y), k = int(p.z);
    const uint16_t* r00 = voxelRows[k][j];
    const uint16_t* r01 = voxelRows[k + 1][j];
    const uint16_t* r10 = voxelRows[k][j + 1];
    const uint16_t* r11 = voxelRows[k + 1][j + 1];
    // c[4a + 2b + c] for x offset a, y offset b, z offset c.
    const unsigned v[8] = {r00[i], r01[i], r10[i], r11[i], r00[i + 1], r01[i + 1], r10[i + 1], r11[i + 1]};
    const unsigned isoValue = isoStored;
    if ((v[0] < isoValue) & (v[1] < isoValue) & (v[2] < isoValue) & (v[3] < isoValue)
        & (v[4] < isoValue) & (v[5] < isoValue) & (v[6] < isoValue) & (v[7] < isoValue)) {
        p += dir;
        distance += 1.0f;
        return -1;
    }
    int& cellsWithoutCrossing = t_cellsWithoutCrossing;
    ++cellsWithoutCrossing;
    const Vec3 corner{float(i), float(j), float(k)};
    float c[8];
    for (int n = 0; n < 8; ++n)
        c[n] = float(v[n]);
    const Vec3 f = p - corner;

    float ex, xx, ey, xy, ez, xz;
    slab(f.x, dir.x, ex, xx);
    slab(f.y, dir.y, ey, xy);
    slab(f.z, dir.z, ez, xz);
    const float t0 = std::max(std::max(ex, std::max(ey, ez)), searchFrom);
    const float t1 = std::min(xx, std::min(xy, xz));

    // The interpolant as a polynomial in the local coordinates, so that each
    // step costs a handful of multiplications.
    const float a0 = c[0];
    const float ax = c[4] - c[0];
    const float ay = c[2] - c[0];
    const float az = c[1] - c[0];
    const float axy = c[6] - c[4] - c[2] + c[0];
    const float axz = c[5] - c[4] - c[1] + c[0];
    const float ayz = c[3] - c[2] - c[1] + c[0];
    const float axyz = c[7] - c[6] - c[5] - c[3] + c[4] + c[2] + c[1] - c[0];
    const float iso = float(isoStored);

    const Vec3 start = p;
    const Vec3 step = dir * kMarchStep;
    Vec3 q = p + dir * t0;
    const int steps = int((t1 - t0) / kMarchStep);
    for (int s = 0; s <= steps; ++s) {
        const float x = q.x - corner.x, y = q.y - corner.y, z = q.z - corner.z;
        const float v = a0 + x * (ax + y * (axy + z * axyz) + z * axz) + y * (ay + z * ayz) + z * az;
        if (mode == 0 ? v >= iso : v <= iso) {
            p = q;
            cellsWithoutCrossing = 0;
            // The search starts where the ray enters the cell, which may lie
            // behind p: a crossing found there brings the distance back.
            const Vec3 moved = q - start;
            distance += dot(moved, dir) < 0.0f ? -length(moved) : length(moved);
            return 0;
        }
        q += step;
    }
    p = q;
    distance += length(p - start);
    if (cellsWithoutCrossing >= kGiveUpCells) {
        cellsWithoutCrossing = 0;
        return 1;
    }
    return -1;
}

Vec3 CVolume::normalAt(const Vec3& p) const
{
    // Gaussian-weighted central differences at the eight voxels of the cell,
    // interpolated trilinearly. Both the smoothing (weights 1 : e^-1/2 over
    // the neighbours) and the interpolation are separable, so they fold into
    // one 4-tap kernel per axis: d for the derivative, s for the smoothing.
    // The y and z kernels are applied to whole 4-value rows at once, and the
    // x kernels only to the three accumulated rows at the end.
    const int i = int(p.x), j = int(p.y), k = int(p.z);
    const float fx = p.x - float(i), fy = p.y - float(j), fz = p.z - float(k);
    constexpr float s1 = 0.60653066f;
    auto derivative = [](float f) { return Float4{-(1 - f), -f, 1 - f, f}; };
    auto smoothing = [](float f) {
        return Float4{(1 - f) * s1, (1 - f) + f * s1, (1 - f) * s1 + f, f * s1};
    };
    const Float4 dY = derivative(fy), sY = smoothing(fy);
    const Float4 dZ = derivative(fz), sZ = smoothing(fz);

    // smoothX: rows weighted for the x derivative (s in y and z);
    // derivY: for the y derivative; derivZ: for the z derivative.
    Float4 smoothX = {0, 0, 0, 0}, derivY = smoothX, derivZ = smoothX;
    for (int z = 0; z < 4; ++z) {
        uint16_t* const* slice = voxelRows[k - 1 + z];
        Float4 sumS = {0, 0, 0, 0}, sumD = sumS;
        for (int y = 0; y < 4; ++y) {
            const Float4 row = loadRow4(slice[j - 1 + y] + (i - 1));
            sumS += row * sY[y];
            sumD += row * dY[y];
        }
        smoothX += sumS * sZ[z];
        derivY += sumD * sZ[z];
        derivZ += sumS * dZ[z];
    }
    const Float4 dX = derivative(fx), sX = smoothing(fx);
    const Float4 gx = smoothX * dX, gy = derivY * sX, gz = derivZ * sX;
    const Vec3 g(gx[0] + gx[1] + gx[2] + gx[3], gy[0] + gy[1] + gy[2] + gy[3],
                 gz[0] + gz[1] + gz[2] + gz[3]);
    const Vec3 n = inverseAxisMatrix * g;
    const float len = length(n);
    // A flat neighbourhood has no direction; zero shades as unlit instead of
    // spreading NaN into the image.
    if (!(len > 0.0f))
        return Vec3();
    return n / len;
}

void CVolume::beginRay() { t_cellsWithoutCrossing = 0; }

void CVolume::updateBlocks()
{
    blocks.build(voxelRows, sizeX, sizeY, sizeZ);
    blocks.setReachLimit(isoBlockLimit_);
}

}  // namespace v3d
