// Any bytes as a packed image list: decoding never reads past them, and
// what decodes packs and decodes back to the same identifiers.
#include "wire/ImageList.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const v3d::UnpackedImageList list = v3d::unpackImageList(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& id : list.ids)
        if (id.find('\0') != std::string::npos) return 0;  // not a C string: never packed by us
    const v3d::UnpackedImageList again = v3d::unpackImageList(v3d::packImageList(list.ids));
    if (again.status != v3d::ImageListStatus::Complete || again.ids != list.ids) std::abort();
    return 0;
}
