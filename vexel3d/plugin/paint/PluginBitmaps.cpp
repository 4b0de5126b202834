#include "plugin/paint/PluginBitmaps.h"

#include <array>
#include <cstdint>

namespace v3d {

namespace {
constexpr int kSize = 18;
constexpr int kStride = 3;

// '#' is ink. A wire cube seen from above the front-right corner.
constexpr const char* kCube[kSize] = {
    "..................",
    "......##########..",
    ".....#........##..",
    "....#........#.#..",
    "...#........#..#..",
    "..##########...#..",
    "..#........#...#..",
    "..#........#...#..",
    "..#........#...#..",
    "..#........#...#..",
    "..#........#...#..",
    "..#........#..#...",
    "..#........#.#....",
    "..#........##.....",
    "..##########......",
    "..................",
    "..................",
    "..................",
};

std::array<uint8_t, kSize * kStride> pack() {
    std::array<uint8_t, kSize * kStride> bits{};
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (kCube[y][x] == '#') bits[y * kStride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    return bits;
}
}  // namespace

const QVMonoBitmap& toolbarButtonBitmap() {
    static const std::array<uint8_t, kSize * kStride> bits = pack();
    static const QVMonoBitmap bitmap{kSize, kSize, kStride, bits.data()};
    return bitmap;
}

}  // namespace v3d
