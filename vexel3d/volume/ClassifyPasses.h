#pragma once
// The two passes of volume classification over a slab of slices, and the
// split of a volume into slabs that run on separate threads.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace v3d {

namespace classify_passes {

constexpr int kValueCount = 65536;

// Adds the nx values of one row to four counter tables of kValueCount
// entries each (tables[0 ... 4 * kValueCount)).
void countRow(const uint16_t* row, int nx, uint32_t* tables);
// Sums the four tables of each of `count` slabs into histogram (kValueCount
// entries, overwritten).
void sumTables(const std::vector<std::vector<uint32_t>>& slabTables, size_t count, uint32_t* histogram);

// Writes the mask of slices [k0, k1): the class of each 2 x 2 x 2 cell's
// largest value with the kept bit set. Slice k1 - 1 is left without its
// maximum over slice k1 (another slab owns that); firstSlice receives the
// in-slice result of slice k0 before slice k0 - 1 needs it.
void buildCellClasses(uint16_t* const* const* rows, const std::vector<uint8_t*>& mask,
                      const uint8_t* classTable, int nx, int ny, int k0, int k1, uint8_t* firstSlice);

// Runs work(slab, k0, k1) over contiguous slabs covering [0, sizeZ), on up to
// as many threads as the machine has cores (one slab when the volume is
// small or no thread can be started). Returns the slab bounds used.
std::vector<int> forEachSlab(int sizeZ, uint64_t voxels,
                             const std::function<void(int slab, int k0, int k1)>& work);

} // namespace classify_passes

}  // namespace v3d
