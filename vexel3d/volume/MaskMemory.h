#pragma once
// The memory of a volume's mask: one zeroed anonymous mapping, aligned and
// marked for huge pages where the system offers them. A mask is tens to
// hundreds of megabytes that classify writes once in full; in small pages
// its first touch costs a fault every 4 KiB, which took longer than the
// classification itself.

#include <cstddef>
#include <cstdint>

namespace v3d {

class MaskMemory {
public:
    MaskMemory() = default;
    // Throws std::bad_alloc when the system cannot map the bytes.
    explicit MaskMemory(size_t bytes);
    ~MaskMemory();
    MaskMemory(MaskMemory&& other) noexcept { swap(other); }
    MaskMemory& operator=(MaskMemory&& other) noexcept;
    MaskMemory(const MaskMemory&) = delete;
    MaskMemory& operator=(const MaskMemory&) = delete;

    void swap(MaskMemory& other) noexcept;
    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void* mapping_ = nullptr;
    size_t mappedBytes_ = 0;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace v3d
