#include "volume/BulkMemory.h"

#include <new>
#include <utility>

#include <sys/mman.h>

namespace v3d {

namespace {
// The huge page size of x86-64 and most 64-bit ARM systems; elsewhere the
// alignment merely wastes less than this.
constexpr size_t kHugePage = size_t(2) << 20;
}  // namespace

BulkMemory::BulkMemory(size_t bytes)
{
    if (bytes == 0)
        return;
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (rounded < bytes)
        throw std::bad_alloc();
    const size_t mapped = rounded + kHugePage;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    mapping_ = p;
    mappedBytes_ = mapped;
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    data_ = reinterpret_cast<uint8_t*>(aligned);
    size_ = bytes;
#ifdef MADV_HUGEPAGE
    // Advice only: without huge pages the mapping works as before.
    madvise(data_, rounded, MADV_HUGEPAGE);
#endif
}

BulkMemory::~BulkMemory()
{
    if (mapping_)
        munmap(mapping_, mappedBytes_);
}

BulkMemory& BulkMemory::operator=(BulkMemory&& other) noexcept
{
    BulkMemory gone(std::move(other));
    swap(gone);
    return *this;
}

void BulkMemory::swap(BulkMemory& other) noexcept
{
    std::swap(mapping_, other.mapping_);
    std::swap(mappedBytes_, other.mappedBytes_);
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
}

}  // namespace v3d
