#pragma once

#include <cstdint>

namespace glossan {

// A module version as a version record holds it: four 16-bit parts, the
// first two in the MS word, the last two in the LS word.
struct ModuleVersion {
    uint32_t ms = 0;
    uint32_t ls = 0;
};

constexpr ModuleVersion packVersion(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision) {
    return {uint32_t(major) << 16 | minor, uint32_t(build) << 16 | revision};
}

// MS words first, LS words only when the MS words are equal, both unsigned.
constexpr bool isNewer(ModuleVersion offered, ModuleVersion current) {
    return offered.ms != current.ms ? offered.ms > current.ms : offered.ls > current.ls;
}

}  // namespace glossan
