#include "SegmentPhantoms.h"

#include <cstddef>


namespace {

constexpr int kPeriod = 4;
constexpr int kCorridor = 2;
constexpr int kEndRows = 2;

bool serpentine(int x, int y, int sizeX, int sizeY)
{
    const int first = kEndRows, last = sizeY - 1 - kEndRows;
    if (y < first || y > last)
        return false;
    const int column = x / kPeriod;
    if (x % kPeriod < kCorridor)
        return true;
    // A wall between corridor `column` and the next: open at the top end
    // for even columns, at the bottom end for odd ones.
    if ((column + 1) * kPeriod + kCorridor > sizeX)
        return false;
    return column % 2 == 0 ? y > last - kCorridor : y < first + kCorridor;
}

uint32_t hash(uint32_t v)
{
    v ^= v >> 16;
    v *= 0x7feb352du;
    v ^= v >> 15;
    v *= 0x846ca68bu;
    v ^= v >> 16;
    return v;
}

}  // namespace

std::vector<uint16_t> makeSerpentinePhantom(int sizeX, int sizeY, int sizeZ)
{
    std::vector<uint16_t> slice(size_t(sizeX) * size_t(sizeY));
    for (int y = 0; y < sizeY; ++y)
        for (int x = 0; x < sizeX; ++x)
            slice[size_t(y) * size_t(sizeX) + size_t(x)] = serpentine(x, y, sizeX, sizeY) ? kPhantomObject : 0;
    std::vector<uint16_t> values;
    values.reserve(slice.size() * size_t(sizeZ));
    for (int z = 0; z < sizeZ; ++z)
        values.insert(values.end(), slice.begin(), slice.end());
    return values;
}

std::vector<uint16_t> makeSpongePhantom(int sizeX, int sizeY, int sizeZ, int perMille, uint32_t seed)
{
    std::vector<uint16_t> values(size_t(sizeX) * size_t(sizeY) * size_t(sizeZ));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = hash(uint32_t(i) * 2654435761u + seed) % 1000u < uint32_t(perMille) ? kPhantomObject : 0;
    return values;
}
