#include "volume/ClassifyPasses.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace v3d {

namespace classify_passes {

namespace {

constexpr uint8_t kKeptBit = 0x80;
constexpr int kMaxThreads = 4;
// Below this the thread start costs more than it saves.
constexpr uint64_t kThreadedVoxels = uint64_t(1) << 22;

// out[i] = table[in[i]] | kept bit. The look-ups cannot be vectorised, but
// packing eight results into one store cuts the memory operations.
void lookUpClasses(const uint8_t* __restrict table, const uint16_t* __restrict in,
                   uint8_t* __restrict out, int n)
{
    constexpr uint64_t kKeptBytes = 0x8080808080808080ull;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t packed = kKeptBytes;
        for (int b = 0; b < 8; ++b)
            packed |= uint64_t(table[in[i + b]]) << (8 * b);
        std::memcpy(out + i, &packed, sizeof packed);
    }
    for (; i < n; ++i)
        out[i] = uint8_t(table[in[i]] | kKeptBit);
}

void maxInto(uint8_t* __restrict target, const uint8_t* __restrict other, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        target[i] = std::max(target[i], other[i]);
}

} // namespace

void countRow(const uint16_t* row, int nx, uint32_t* tables)
{
    // Four tables so that runs of equal values (air, padding) do not
    // serialise on one counter.
    uint32_t* __restrict h0 = tables;
    uint32_t* __restrict h1 = h0 + kValueCount;
    uint32_t* __restrict h2 = h1 + kValueCount;
    uint32_t* __restrict h3 = h2 + kValueCount;
    const int quads = nx & ~3;
    int i = 0;
    for (; i < quads; i += 4) {
        ++h0[row[i]];
        ++h1[row[i + 1]];
        ++h2[row[i + 2]];
        ++h3[row[i + 3]];
    }
    for (; i < nx; ++i)
        ++h0[row[i]];
}

void sumTables(const std::vector<std::vector<uint32_t>>& slabTables, size_t count, uint32_t* histogram)
{
    std::fill(histogram, histogram + kValueCount, 0u);
    for (size_t slab = 0; slab < count && slab < slabTables.size(); ++slab) {
        const uint32_t* t = slabTables[slab].data();
        for (size_t v = 0; v < size_t(kValueCount); ++v)
            histogram[v] += t[v] + t[v + kValueCount] + t[v + 2 * kValueCount] + t[v + 3 * kValueCount];
    }
}

void buildCellClasses(uint16_t* const* const* rows, const std::vector<uint8_t*>& mask,
                      const uint8_t* classTable, int nx, int ny, int k0, int k1, uint8_t* firstSlice)
{
    // Class of a cell = class of its largest value = largest class of its
    // values (classes grow with the value). Per row the x maximum is taken on
    // the values and then looked up; the y and z maxima follow on the class
    // bytes while the rows are still in cache.
    const size_t sliceBytes = size_t(nx) * size_t(ny);
    std::vector<uint16_t> pairMax(static_cast<size_t>(nx));
    uint16_t* __restrict top = pairMax.data();
    for (int k = k0; k < k1; ++k) {
        uint8_t* __restrict slice = mask[size_t(k)];
        for (int j = 0; j < ny; ++j) {
            const uint16_t* __restrict row = rows[k][j];
            for (int i = 0; i + 1 < nx; ++i)
                top[i] = std::max(row[i], row[i + 1]);
            top[nx - 1] = row[nx - 1];
            uint8_t* m = slice + size_t(j) * size_t(nx);
            lookUpClasses(classTable, top, m, nx);
            if (j > 0)
                maxInto(m - nx, m, size_t(nx));
        }
        if (k == k0)
            std::memcpy(firstSlice, slice, sliceBytes);
        else
            maxInto(mask[size_t(k) - 1], slice, sliceBytes);
    }
}

std::vector<int> forEachSlab(int sizeZ, uint64_t voxels,
                             const std::function<void(int slab, int k0, int k1)>& work)
{
    int slabs = 1;
    if (voxels >= kThreadedVoxels)
        slabs = std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxThreads);
    slabs = std::max(1, std::min(slabs, sizeZ));
    std::vector<int> bounds(size_t(slabs) + 1);
    for (int s = 0; s <= slabs; ++s)
        bounds[size_t(s)] = int(int64_t(sizeZ) * s / slabs);

    std::vector<std::thread> helpers;
    int started = 1;
    try {
        for (; started < slabs; ++started)
            helpers.emplace_back(work, started, bounds[size_t(started)], bounds[size_t(started) + 1]);
    } catch (const std::system_error&) {
        // No more threads: the calling thread does the rest itself.
    }
    work(0, bounds[0], bounds[1]);
    for (int s = started; s < slabs; ++s)
        work(s, bounds[size_t(s)], bounds[size_t(s) + 1]);
    for (std::thread& t : helpers)
        t.join();
    return bounds;
}

} // namespace classify_passes

}  // namespace v3d
