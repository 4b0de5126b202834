#pragma once
// What a 3D window knows about its loaded series: the host volume, the image
// list and the download state. The window's frame holds it; the view and
// the series acquisition read and write it.

#include "QVHostApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace v3d {

struct SeriesState {
    QVVolumeRecord* hostVolume = nullptr;
    std::vector<std::string> imageIds;
    int32_t sliceNumber = 0;
    double sliceDistance = 0.0;
    int32_t loadedOk = 1;
    int32_t m_bHasSeries = 0;
    std::string firstImageId;
    std::string modality;  // of the loaded series
    double completedFraction = 0.0;
    bool m_bAllLoaded = false;
    bool allLossless = false;
    double downloadedFraction = 0.0;
    std::string pendingState;
    int refreshTimer = 0;
};

}  // namespace v3d
