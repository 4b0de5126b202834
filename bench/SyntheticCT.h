#pragma once
// A CT-like test volume made in memory: air around an elliptic body with fat,
// soft tissue, two lungs, a spine and a ring of ribs, with noise. Stored
// values are HU + 1024.

#include <cstdint>
#include <vector>

std::vector<uint16_t> makeSyntheticCT(int sizeX, int sizeY, int sizeZ);
