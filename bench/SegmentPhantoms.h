#pragma once
// Volumes that make flood fills work hard, as stored values (object 1000,
// background 0): a serpentine whose corridors turn back along y again and
// again (each turn costs the sweeping fill another pass over the slice),
// and a sponge of random voxels (very many short spans).

#include <cstdint>
#include <vector>

constexpr int kPhantomObject = 1000;

// Corridors two voxels wide along y, x period 4, joined at alternating ends;
// the same in every slice. Voxel (0, 2, z) lies in the first corridor.
std::vector<uint16_t> makeSerpentinePhantom(int sizeX, int sizeY, int sizeZ);

// Each voxel is object with the given probability (per mille), from a fixed
// hash of its position and the seed.
std::vector<uint16_t> makeSpongePhantom(int sizeX, int sizeY, int sizeZ, int perMille,
                                        uint32_t seed);
