// Studies, groups, images, window/level and the attributes of loaded datasets.
#include "HostApiSupport.h"

#include "HostCell.h"
#include "ImagePanel.h"
#include "dicom/DatasetValues.h"
#include "dicom/StudyDatabase.h"

#include "QVHostApi.h"

#include <algorithm>
#include <cmath>

using quarvia::DicomImage;
using quarvia::duplicate;
using quarvia::host;

namespace {
const DicomImage* imageOf(const char* imageId) { return host() ? host()->database().image(imageId) : nullptr; }
const quarvia::SeriesGroup* groupOf(QVGroupHandle handle) {
    return host() ? host()->database().groupById(quarvia::groupIdOf(handle)) : nullptr;
}
}  // namespace

char* QVGetActiveImage(void) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        quarvia::HostCell* cell = host() ? host()->grid().activeCell() : nullptr;
        if (!cell) return nullptr;
        quarvia::PanelView* view = cell->panel()->view(cell->panel()->activeView());
        const std::string id = view ? cell->panel()->imageIdOf(*view) : std::string();
        return id.empty() ? nullptr : duplicate(id);
    });
}
char* QVGetImageID(QVViewHandle view) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        quarvia::ImagePanel* panel = nullptr;
        quarvia::PanelView* v = host() ? host()->grid().viewOf(view, &panel) : nullptr;
        const std::string id = v ? panel->imageIdOf(*v) : std::string();
        return id.empty() ? nullptr : duplicate(id);
    });
}
char* QVGetGroupImageID(QVGroupHandle group, int index) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        const quarvia::SeriesGroup* g = groupOf(group);
        if (!g || index < 0 || index >= static_cast<int>(g->imageIds.size())) return nullptr;
        return duplicate(g->imageIds[static_cast<size_t>(index)]);
    });
}
QVGroupHandle QVGetGroupOfImage(const char* imageId) {
    return quarvia::guarded<QVGroupHandle>(__func__, nullptr, [&]() -> QVGroupHandle {
        if (!host() || !imageId) return nullptr;
        const quarvia::SeriesGroup* g = host()->database().groupOfImage(imageId);
        return g ? quarvia::groupHandle(g->id) : nullptr;
    });
}
int QVGetImageCount(QVGroupHandle group) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        const quarvia::SeriesGroup* g = groupOf(group);
        return g ? static_cast<int>(g->imageIds.size()) : 0;
    });
}
int QVGetStudyCount(void) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        return host() ? host()->database().studyCount() : 0;
    });
}
char* QVGetStudyUID(int studyIndex) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        const std::string uid = host() ? host()->database().studyUid(studyIndex) : std::string();
        return uid.empty() ? nullptr : duplicate(uid);
    });
}
int QVGetGroupCount(const char* studyUid) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        return host() && studyUid ? host()->database().groupCount(studyUid) : 0;
    });
}
QVGroupHandle QVGetGroup(const char* studyUid, int groupIndex) {
    return quarvia::guarded<QVGroupHandle>(__func__, nullptr, [&]() -> QVGroupHandle {
        if (!host() || !studyUid) return nullptr;
        const quarvia::SeriesGroup* g = host()->database().group(studyUid, groupIndex);
        return g ? quarvia::groupHandle(g->id) : nullptr;
    });
}
char* QVGetSeriesUID(const char* imageId) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        const DicomImage* image = imageOf(imageId);
        return image ? duplicate(image->seriesUid()) : nullptr;
    });
}
char* QVImageSOPInstanceUID(const char* imageId) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        const DicomImage* image = imageOf(imageId);
        return image ? duplicate(image->sopUid()) : nullptr;
    });
}
int QVImageGetRows(const char* imageId) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        const DicomImage* image = imageOf(imageId);
        return image ? image->rows() : 0;
    });
}
int QVImageGetColumns(const char* imageId) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        const DicomImage* image = imageOf(imageId);
        return image ? image->columns() : 0;
    });
}
int QVImageGetType(const char* imageId) {
    return quarvia::guarded<int>(__func__, 1, [&]() -> int {
        const DicomImage* image = imageOf(imageId);
        if (!image) return 1;
        if (image->samplesPerPixel() == 3) return 2;
        return image->bitsAllocated() == 8 ? 0 : 1;
    });
}
// A plug-in may delete the images it made itself, recognised by its identity.
int QVCanDeleteImage(const char* pluginId, const char* imageId) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        const DicomImage* image = imageOf(imageId);
        if (!image || !pluginId) return 0;
        return quarvia::datasetString(image->dataset(), 0x0018, 0x1018) == pluginId ? 1 : 0;
    });
}
int QVDeleteImage(const char* pluginId, const char* imageId) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        if (!QVCanDeleteImage(pluginId, imageId)) return 0;
        const bool removed = host()->database().removeImage(imageId);
        host()->databaseChanged();
        return removed ? 1 : 0;
    });
}

int QVGetWindowLevel(QVViewHandle view, WindowLevelRecord* record) {
    return quarvia::guarded<int>(__func__, 0, [&]() -> int {
        quarvia::ImagePanel* panel = nullptr;
        quarvia::PanelView* v = host() ? host()->grid().viewOf(view, &panel) : nullptr;
        if (!v || !record) return 0;
        double center = 0, width = 1;
        panel->windowOf(*v, center, width);
        *record = WindowLevelRecord{};
        record->size = static_cast<int32_t>(sizeof(WindowLevelRecord));
        record->valid = 1;
        record->width = static_cast<int32_t>(std::lround(width));
        record->level = static_cast<int32_t>(std::lround(center));
        record->maxWidth = 65535;
        record->minLevel = -32768;
        record->maxLevel = 32767;
        return 1;
    });
}

QVDatasetHandle QVGetDicomDataSet(const char* imageId) {
    return quarvia::guarded<QVDatasetHandle>(__func__, nullptr, [&]() -> QVDatasetHandle {
        const DicomImage* image = imageOf(imageId);
        return image ? reinterpret_cast<QVDatasetHandle>(image->dataset()) : nullptr;
    });
}
char* QVGetDicomStringArray(QVDatasetHandle dataset, uint16_t group, uint16_t element) {
    return quarvia::guarded<char*>(__func__, nullptr, [&]() -> char* {
        const DicomImage* image = host() ? host()->database().imageOfDataset(dataset) : nullptr;
        if (!image) return nullptr;
        std::string text;
        return quarvia::datasetText(image->dataset(), group, element, text) ? duplicate(text) : nullptr;
    });
}
uint8_t* QVGetDicomUint8Array(QVDatasetHandle dataset, uint16_t group, uint16_t element, int32_t* length) {
    return quarvia::guarded<uint8_t*>(__func__, nullptr, [&]() -> uint8_t* {
        if (length) *length = 0;
        const DicomImage* image = host() ? host()->database().imageOfDataset(dataset) : nullptr;
        std::vector<uint8_t> bytes;
        if (!image || !quarvia::datasetBytes(image->dataset(), group, element, bytes)) return nullptr;
        auto* copy = static_cast<uint8_t*>(std::malloc(std::max<size_t>(1, bytes.size())));
        if (!copy) return nullptr;
        std::copy(bytes.begin(), bytes.end(), copy);
        if (length) *length = static_cast<int32_t>(bytes.size());
        return copy;
    });
}
