#include "SyntheticCT.h"

#include <algorithm>
#include <cmath>

namespace {

// Cheap deterministic noise in about -range ... +range.
struct Noise {
    uint32_t state = 12345u;
    int next(int range)
    {
        state = state * 1664525u + 1013904223u;
        return int((state >> 16) % uint32_t(2 * range + 1)) - range;
    }
};

int tissueHU(float x, float y, float z, int sizeZ)
{
    // Body: ellipse 200 x 150 around the centre.
    const float bx = x / 200.0f, by = y / 150.0f;
    const float body = bx * bx + by * by;
    if (body > 1.0f)
        return -1000;
    if (body > 0.85f)
        return -100; // fat under the skin
    // Ribs: a ring at 0.75 ... 0.8 of the body, broken every 40 slices.
    if (body > 0.75f && int(z) % 40 < 14)
        return 1200;
    // Spine: a disc behind the centre.
    const float sx = x / 25.0f, sy = (y - 100.0f) / 25.0f;
    if (sx * sx + sy * sy < 1.0f)
        return 700;
    // Lungs: two ellipsoids, shorter than the volume.
    const float zr = (z - sizeZ * 0.5f) / (sizeZ * 0.45f);
    for (float cx : {-90.0f, 90.0f}) {
        const float lx = (x - cx) / 70.0f, ly = (y + 10.0f) / 100.0f;
        if (lx * lx + ly * ly + zr * zr < 1.0f)
            return -850;
    }
    return 40;
}

} // namespace

std::vector<uint16_t> makeSyntheticCT(int sizeX, int sizeY, int sizeZ)
{
    std::vector<uint16_t> values(size_t(sizeX) * size_t(sizeY) * size_t(sizeZ));
    Noise noise;
    size_t n = 0;
    for (int k = 0; k < sizeZ; ++k)
        for (int j = 0; j < sizeY; ++j)
            for (int i = 0; i < sizeX; ++i) {
                const int hu = tissueHU(float(i - sizeX / 2), float(j - sizeY / 2), float(k), sizeZ)
                             + noise.next(20);
                values[n++] = uint16_t(std::max(0, hu + 1024));
            }
    return values;
}
