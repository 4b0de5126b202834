#include "render/RenderWorkspace.h"

#include <algorithm>
#include <type_traits>

namespace v3d {

namespace {

// Each array starts on its own cache line.
constexpr size_t kAlign = 64;

constexpr size_t alignedBytes(size_t bytes) { return (bytes + kAlign - 1) / kAlign * kAlign; }

// Hands out the arrays of one block in order, or with no block only adds
// up their bytes. Zero bytes are the arrays' zero values (all-zero floats,
// integers and vectors).
class Carver {
public:
    explicit Carver(uint8_t* base) : base_(base) {}
    template <typename T>
    T* take(size_t count) {
        static_assert(std::is_trivially_copyable<T>::value, "plain values only");
        T* p = base_ ? reinterpret_cast<T*>(base_ + used_) : nullptr;
        used_ += alignedBytes(count * sizeof(T));
        return p;
    }
    size_t used() const { return used_; }

private:
    uint8_t* base_;
    size_t used_ = 0;
};

}  // namespace

RenderWorkspace::RenderWorkspace() {
    memory_ = BulkMemory(placeArrays(nullptr));
    placeArrays(memory_.data());
    resetWide();
}

size_t RenderWorkspace::placeArrays(uint8_t* base) {
    Carver carve(base);
    depth = carve.take<float>(kWideCount);
    value = carve.take<int32_t>(kWideCount);
    done = carve.take<int32_t>(kWideCount);
    rayDir = carve.take<Vec3>(kCount);
    rayStart = carve.take<Vec3>(kCount);
    entryPoint = carve.take<Vec3>(kCount);
    exitPoint = carve.take<Vec3>(kCount);
    entryDistance = carve.take<float>(kCount);
    exitDistance = carve.take<float>(kCount);
    entrySurface = carve.take<int32_t>(kCount);
    stepCount = carve.take<int32_t>(kCount);
    sampleCount = carve.take<int32_t>(kCount);
    hitKind = carve.take<int32_t>(kCount);
    spare = carve.take<float>(kCount);
    selectedPlaneDistance = carve.take<float>(kCount);
    return carve.used();
}

void RenderWorkspace::resetWide() {
    std::fill_n(depth, kWideCount, -30.0f);
    std::fill_n(value, kWideCount, -1);
    std::fill_n(done, kWideCount, 0);
}

}  // namespace v3d
