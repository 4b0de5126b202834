#pragma once
// A small volume whose values the test owns, built over one block.

#include "volume/CVolume.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

using namespace v3d;

struct TestVolume {
    std::vector<uint16_t> values;
    std::unique_ptr<CVolume> volume = std::make_unique<CVolume>();

    TestVolume(int x, int y, int z, const std::function<int(int, int, int)>& value,
               float sx = 1, float sy = 1, float sz = 1)
        : values(size_t(x) * size_t(y) * size_t(z))
    {
        for (int k = 0; k < z; ++k)
            for (int j = 0; j < y; ++j)
                for (int i = 0; i < x; ++i)
                    values[(size_t(k) * size_t(y) + size_t(j)) * size_t(x) + size_t(i)]
                        = uint16_t(value(i, j, k));
        volume->build(x, y, z, values.data(), nullptr, sx, sy, sz, {}, {1, 0, 0}, {0, 1, 0},
                      {0, 0, 1});
    }

    CVolume& operator*() { return *volume; }
    CVolume* operator->() { return volume.get(); }
};
