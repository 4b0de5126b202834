#pragma once
// Strings the host hands out: taken into a std::string and freed at once.

#include "QVHostApi.h"
#include "plugin/host/DicomTags.h"
#include "wire/StateLines.h"

#include <cstdint>
#include <optional>
#include <string>

namespace v3d {

inline std::string takeHostString(char* text) {
    std::string out = text ? text : "";
    QVFree(text);
    return out;
}

// An image's series number, tag (0020,0011) read as an unsigned decimal;
// nothing when absent or unreadable.
inline std::optional<uint32_t> seriesNumberOfImage(const std::string& imageId) {
    QVDatasetHandle data = QVGetDicomDataSet(imageId.c_str());
    if (!data) return std::nullopt;
    const std::string text = takeHostString(QVGetDicomStringArray(data, kSeriesNumberTag.group, kSeriesNumberTag.element));
    FieldReader reader(text);
    uint32_t number = 0;
    if (!reader.readUnsigned(number)) return std::nullopt;
    return number;
}

}  // namespace v3d
