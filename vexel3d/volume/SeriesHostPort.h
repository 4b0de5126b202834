#pragma once
// What the series acquisition needs of the host: the images' sizes and
// download state, the physical memory, the volume records, the user's
// answer to the memory warning and the progress display. The plug-in
// implements it over the host functions; tests record it.

#include "QVHostApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace v3d {

class SeriesHostPort {
public:
    virtual ~SeriesHostPort() = default;

    // 1 for 8-bit images, 2 for 16-bit ones.
    virtual int bytesPerValue(const std::string& imageId) = 0;
    virtual int columns(const std::string& imageId) = 0;
    virtual int rows(const std::string& imageId) = 0;
    // Bytes of physical memory; 0 when unknown.
    virtual uint64_t physicalMemory() = 0;
    // The memory warning: true when the user goes on anyway.
    virtual bool proceedShortOfMemory() = 0;

    // The host's volume of the images (null when it refuses them), its
    // refresh after more images arrived, and its release.
    virtual QVVolumeRecord* createVolume(const std::vector<std::string>& imageIds) = 0;
    virtual void updateVolume(QVVolumeRecord* record) = 0;
    virtual void releaseVolume(QVVolumeRecord* record) = 0;

    // Fraction of the image downloaded (0..1).
    virtual double completion(const std::string& imageId) = 0;
    // The image's download rate; the completion where the host has none.
    virtual double downloadRate(const std::string& imageId) = 0;
    virtual bool hasDownloadRate() = 0;
    virtual double compressionRate(const std::string& imageId) = 0;
    // True where the host cannot tell.
    virtual bool isLossless(const std::string& imageId) = 0;

    // Progress of a load, 0..100.
    virtual void progress(int position) = 0;

    // The image's modality ("CT", "MR"...; empty when unknown) and the
    // window it carries, in rescaled units (false when none).
    virtual std::string modality(const std::string& /*imageId*/) { return {}; }
    virtual bool ownWindow(const std::string& /*imageId*/, double& /*center*/, double& /*width*/) { return false; }
};

}  // namespace v3d
