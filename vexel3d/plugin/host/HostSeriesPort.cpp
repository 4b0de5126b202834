#include "plugin/host/HostSeriesPort.h"

#include "plugin/host/HostStrings.h"
#include "plugin/host/HostSymbols.h"

#include <unistd.h>

namespace v3d {

namespace {

uint64_t g_physicalMemoryOverride = 0;

constexpr const char* kMemoryWarning =
    "This system may lack sufficient physical memory    \nto visualize this dataset in 3D in real-rime!    ";

}  // namespace

void HostSeriesPort::setPhysicalMemoryForTesting(uint64_t bytes) { g_physicalMemoryOverride = bytes; }

HostSeriesPort::HostSeriesPort()
    : m_isLossless(lookupHostFunction<QVIsLosslessFn>("QVIsLossless")),
      m_downloadRate(lookupHostFunction<QVGetDownloadRateFn>("QVGetDownloadRate")) {}

int HostSeriesPort::bytesPerValue(const std::string& imageId) { return QVImageGetType(imageId.c_str()) == 0 ? 1 : 2; }

int HostSeriesPort::columns(const std::string& imageId) { return QVImageGetColumns(imageId.c_str()); }

int HostSeriesPort::rows(const std::string& imageId) { return QVImageGetRows(imageId.c_str()); }

uint64_t HostSeriesPort::physicalMemory() {
    if (g_physicalMemoryOverride) return g_physicalMemoryOverride;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) : 0;
}

bool HostSeriesPort::proceedShortOfMemory() {
    return QVMessageBox(kMemoryWarning, "Error", QV_MB_OKCANCEL | QV_MB_ICONEXCLAMATION | QV_MB_TOPMOST) != QV_IDCANCEL;
}

QVVolumeRecord* HostSeriesPort::createVolume(const std::vector<std::string>& imageIds) {
    std::vector<const char*> array;
    array.reserve(imageIds.size());
    for (const auto& id : imageIds) array.push_back(id.c_str());
    return QVCreateVolume(static_cast<int>(array.size()), array.data(), 3);
}

void HostSeriesPort::updateVolume(QVVolumeRecord* record) { QVUpdateVolume(record); }

void HostSeriesPort::releaseVolume(QVVolumeRecord* record) { QVReleaseVolume(record); }

double HostSeriesPort::completion(const std::string& imageId) { return QVGetCompletionRate(imageId.c_str()); }

double HostSeriesPort::downloadRate(const std::string& imageId) {
    return m_downloadRate ? m_downloadRate(imageId.c_str()) : QVGetCompletionRate(imageId.c_str());
}

double HostSeriesPort::compressionRate(const std::string& imageId) { return QVGetCompressionRate(imageId.c_str()); }

bool HostSeriesPort::isLossless(const std::string& imageId) {
    return !m_isLossless || m_isLossless(imageId.c_str()) != 0;
}

void HostSeriesPort::progress(int position) {
    if (onProgress) onProgress(position);
}

namespace {

// The first value of a text attribute of the image.
std::string firstValue(const std::string& imageId, DicomTag tag) {
    QVDatasetHandle data = QVGetDicomDataSet(imageId.c_str());
    const std::string text = data ? takeHostString(QVGetDicomStringArray(data, tag.group, tag.element)) : std::string();
    return text.substr(0, text.find('\\'));
}

}  // namespace

std::string HostSeriesPort::modality(const std::string& imageId) {
    const std::string text = firstValue(imageId, kModalityTag);
    FieldReader reader(text);  // reads a view of the text
    std::string word;
    return reader.readWord(word, 16) ? word : std::string();
}

bool HostSeriesPort::ownWindow(const std::string& imageId, double& center, double& width) {
    const std::string centerText = firstValue(imageId, kWindowCenterTag);
    const std::string widthText = firstValue(imageId, kWindowWidthTag);
    FieldReader c(centerText), w(widthText);
    return c.readDouble(center) && w.readDouble(width);
}

}  // namespace v3d
