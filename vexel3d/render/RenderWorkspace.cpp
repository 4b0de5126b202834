#include "render/RenderWorkspace.h"

#include <algorithm>
#include <cassert>
#include <type_traits>

namespace v3d {

namespace {

// Each array starts on its own cache line.
constexpr size_t kAlign = 64;

constexpr size_t alignedBytes(size_t bytes) { return (bytes + kAlign - 1) / kAlign * kAlign; }

// Hands out the arrays of one block in order; zero bytes are the arrays'
// zero values (all-zero floats, integers and vectors).
class Carver {
public:
    explicit Carver(uint8_t* base) : next_(base) {}
    template <typename T>
    T* take(size_t count) {
        static_assert(std::is_trivially_copyable<T>::value, "plain values only");
        T* p = reinterpret_cast<T*>(next_);
        next_ += alignedBytes(count * sizeof(T));
        return p;
    }
    const uint8_t* end() const { return next_; }

private:
    uint8_t* next_;
};

size_t totalBytes() {
    const size_t wide = RenderWorkspace::kWideCount, count = RenderWorkspace::kCount;
    return alignedBytes(wide * sizeof(float)) + 2 * alignedBytes(wide * sizeof(int32_t)) +
           4 * alignedBytes(count * sizeof(Vec3)) + 4 * alignedBytes(count * sizeof(float)) +
           4 * alignedBytes(count * sizeof(int32_t));
}

}  // namespace

RenderWorkspace::RenderWorkspace() : memory_(totalBytes()) {
    Carver carve(memory_.data());
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
    assert(carve.end() == memory_.data() + totalBytes());
    resetWide();
}

void RenderWorkspace::resetWide() {
    std::fill_n(depth, kWideCount, -30.0f);
    std::fill_n(value, kWideCount, -1);
    std::fill_n(done, kWideCount, 0);
}

}  // namespace v3d
