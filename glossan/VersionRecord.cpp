#include "VersionRecord.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace glossan {

namespace {

// Kept by the linker and found again by section name, so the version can
// be read from the file without loading it.
__attribute__((section(".glossan_version"), used)) const FixedVersionRecord kEmbeddedRecord = {
    kVersionSignature,
    0x00010000u,
    packVersion(GLOSSAN_VERSION_MAJOR, GLOSSAN_VERSION_MINOR, GLOSSAN_VERSION_BUILD, GLOSSAN_VERSION_REVISION).ms,
    packVersion(GLOSSAN_VERSION_MAJOR, GLOSSAN_VERSION_MINOR, GLOSSAN_VERSION_BUILD, GLOSSAN_VERSION_REVISION).ls,
    packVersion(GLOSSAN_VERSION_MAJOR, GLOSSAN_VERSION_MINOR, GLOSSAN_VERSION_BUILD, GLOSSAN_VERSION_REVISION).ms,
    packVersion(GLOSSAN_VERSION_MAJOR, GLOSSAN_VERSION_MINOR, GLOSSAN_VERSION_BUILD, GLOSSAN_VERSION_REVISION).ls,
};

constexpr unsigned char kNativeClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;

template <typename T>
bool readAt(std::ifstream& file, uint64_t offset, T* out, size_t count = 1) {
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(sizeof(T) * count));
    return file.good();
}

bool hasSectionName(std::ifstream& file, const ElfW(Shdr) & names, const ElfW(Shdr) & section) {
    char name[sizeof(kVersionSection)] = {};
    if (section.sh_name >= names.sh_size || names.sh_size - section.sh_name < sizeof(name)) return false;
    return readAt(file, names.sh_offset + section.sh_name, name, sizeof(name)) &&
           std::memcmp(name, kVersionSection, sizeof(name)) == 0;
}

}  // namespace

ModuleVersion readOfferedVersion(const std::string& libraryPath) {
    std::ifstream file(libraryPath, std::ios::binary);
    ElfW(Ehdr) header{};
    if (!file || !readAt(file, 0, &header)) return {};
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != kNativeClass ||
        header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shstrndx >= header.e_shnum)
        return {};
    std::vector<ElfW(Shdr)> sections(header.e_shnum);
    if (!readAt(file, header.e_shoff, sections.data(), sections.size())) return {};
    const ElfW(Shdr)& names = sections[header.e_shstrndx];
    for (const ElfW(Shdr)& section : sections) {
        if (section.sh_type != SHT_PROGBITS || section.sh_size < sizeof(FixedVersionRecord)) continue;
        if (!hasSectionName(file, names, section)) continue;
        FixedVersionRecord record{};
        if (!readAt(file, section.sh_offset, &record) || record.signature != kVersionSignature) return {};
        return {record.productVersionMS, record.productVersionLS};
    }
    return {};
}

std::string ownLibraryPath() {
    Dl_info info{};
    // For a program (rather than a library) the name may be the bare
    // command it was started as; the kernel's link then names the file.
    if (dladdr(reinterpret_cast<const void*>(&kEmbeddedRecord), &info) && info.dli_fname &&
        access(info.dli_fname, R_OK) == 0)
        return info.dli_fname;
    return "/proc/self/exe";
}

}  // namespace glossan
