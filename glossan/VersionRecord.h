#pragma once

#include "ModuleVersion.h"

#include <cstdint>
#include <string>

namespace glossan {

// The fixed version record the build embeds in its own ELF section of the
// library, laid out like the fixed part of a version resource.
struct FixedVersionRecord {
    uint32_t signature;
    uint32_t structVersion;
    uint32_t fileVersionMS;
    uint32_t fileVersionLS;
    uint32_t productVersionMS;
    uint32_t productVersionLS;
};

inline constexpr uint32_t kVersionSignature = 0xFEEF04BDu;
inline constexpr char kVersionSection[] = ".glossan_version";

// The product version recorded in the given library file; 0.0 when the
// file cannot be read, is not an ELF file of this machine, or has no record.
ModuleVersion readOfferedVersion(const std::string& libraryPath);

// The file of the loaded object that holds this code: the plug-in library,
// or a program linked with it statically.
std::string ownLibraryPath();

}  // namespace glossan
