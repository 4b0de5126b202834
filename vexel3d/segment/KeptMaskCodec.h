#pragma once
// The kept bits of a whole mask as text that a segmentation record can
// carry: run lengths (hidden first, then kept, alternating, in x, y, z
// order) as variable-length integers, deflated, then written in a 64-letter
// alphabet without 'J' (which ends a record) or '*' (which a state line
// escapes). Reading never trusts a length it reads: the runs must cover the
// grid exactly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace v3d {

class CVolume;

enum class MaskCodecStatus { Ok, BadLetter, BadDeflate, BadRuns };

// One byte per voxel (1: kept), x fastest, then y, then z.
std::vector<uint8_t> keptBytesOfVolume(const CVolume& volume);
// Run lengths of such bytes (non-zero: kept): the first run is hidden
// (possibly 0 long), every later run is at least 1 long.
std::vector<uint32_t> keptRunsOfBytes(const uint8_t* kept, size_t count);

std::string packKeptRuns(const std::vector<uint32_t>& runs);
MaskCodecStatus unpackKeptRuns(std::string_view text, uint64_t voxelCount, std::vector<uint32_t>& runs);

}  // namespace v3d
