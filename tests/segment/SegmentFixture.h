#pragma once
// A classified volume whose values the test owns, and readers of its mask.

#include "segment/SegmentMask.h"
#include "volume/CVolume.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

using namespace v3d;

struct SegmentVolume {
    int sizeX, sizeY, sizeZ;
    std::vector<uint16_t> values;
    std::unique_ptr<CVolume> volume = std::make_unique<CVolume>();

    SegmentVolume(int x, int y, int z, const std::function<int(int, int, int)>& value)
        : sizeX(x), sizeY(y), sizeZ(z), values(size_t(x) * size_t(y) * size_t(z))
    {
        for (int k = 0; k < z; ++k)
            for (int j = 0; j < y; ++j)
                for (int i = 0; i < x; ++i)
                    values[index(i, j, k)] = uint16_t(value(i, j, k));
        volume->build(x, y, z, values.data(), nullptr, 1, 1, 1, {}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
        volume->classify(0, 4095, -1024.0f, 1.0f);
    }

    size_t index(int i, int j, int k) const
    {
        return (size_t(k) * size_t(sizeY) + size_t(j)) * size_t(sizeX) + size_t(i);
    }
    uint8_t mask(int i, int j, int k) const { return volume->cellMask[k][j][i]; }
    bool kept(int i, int j, int k) const { return (mask(i, j, k) & v3d::kKeptBit) != 0; }
    bool marked(int i, int j, int k) const { return (mask(i, j, k) & v3d::kMarkedBit) != 0; }

    std::vector<uint8_t> maskCopy() const
    {
        std::vector<uint8_t> copy;
        copy.reserve(values.size());
        for (int k = 0; k < sizeZ; ++k)
            copy.insert(copy.end(), volume->cellMask[k][0], volume->cellMask[k][0] + sizeX * sizeY);
        return copy;
    }
    size_t keptCount() const
    {
        size_t n = 0;
        for (uint8_t m : maskCopy())
            n += (m & v3d::kKeptBit) ? 1 : 0;
        return n;
    }

    CVolume& operator*() { return *volume; }
    CVolume* operator->() { return volume.get(); }
};
