#pragma once
// The series acquisition's host over the host functions; the memory warning
// and the progress dialog belong to the window that loads.

#include "volume/SeriesHostPort.h"

#include <functional>

namespace v3d {

class HostSeriesPort : public SeriesHostPort {
public:
    HostSeriesPort();

    int bytesPerValue(const std::string& imageId) override;
    int columns(const std::string& imageId) override;
    int rows(const std::string& imageId) override;
    uint64_t physicalMemory() override;
    bool proceedShortOfMemory() override;
    QVVolumeRecord* createVolume(const std::vector<std::string>& imageIds) override;
    void updateVolume(QVVolumeRecord* record) override;
    void releaseVolume(QVVolumeRecord* record) override;
    double completion(const std::string& imageId) override;
    double downloadRate(const std::string& imageId) override;
    bool hasDownloadRate() override { return m_downloadRate != nullptr; }
    double compressionRate(const std::string& imageId) override;
    bool isLossless(const std::string& imageId) override;
    void progress(int position) override;
    std::string modality(const std::string& imageId) override;
    bool ownWindow(const std::string& imageId, double& center, double& width) override;

    // Where progress goes while a load runs (the window's dialog).
    std::function<void(int)> onProgress;

    // Tests replace the machine's physical memory (bytes); 0 restores it.
    static void setPhysicalMemoryForTesting(uint64_t bytes);

private:
    QVIsLosslessFn m_isLossless;
    QVGetDownloadRateFn m_downloadRate;
};

}  // namespace v3d
