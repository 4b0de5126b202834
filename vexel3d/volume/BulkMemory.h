#pragma once
// Large zeroed memory: one anonymous mapping, aligned and marked for huge
// pages where the system offers them. A volume's mask (tens to hundreds of
// megabytes, written once in full by classify) and a view's render arrays
// (25 MB) were faulted in every 4 KiB on first touch, which took longer
// than classifying the volume or rendering the first picture.

#include <cstddef>
#include <cstdint>

namespace v3d {

class BulkMemory {
public:
    BulkMemory() = default;
    // Throws std::bad_alloc when the system cannot map the bytes.
    explicit BulkMemory(size_t bytes);
    ~BulkMemory();
    BulkMemory(BulkMemory&& other) noexcept { swap(other); }
    BulkMemory& operator=(BulkMemory&& other) noexcept;
    BulkMemory(const BulkMemory&) = delete;
    BulkMemory& operator=(const BulkMemory&) = delete;

    void swap(BulkMemory& other) noexcept;
    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void* mapping_ = nullptr;
    size_t mappedBytes_ = 0;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace v3d
