#pragma once
// What a 3D window remembers of its captures: the series new images join,
// the last image created (sent to the peers), the dropped capture a quick
// capture replaces, and the capture series named by the last restored text.

#include <cstdint>
#include <cstddef>
#include <string>
#include <vector>

namespace v3d {

struct CaptureRecord {
    std::string captureSeriesUid;  // empty: the next capture starts a series
    uint32_t captureSeriesNumber = 0;
    std::string lastCaptureSopUid;
    int32_t lastCaptureWidth = 0;
    int32_t lastCaptureHeight = 0;
    std::string replaceableImageId;  // empty: none
    std::string prevSeriesId;
    uint32_t prevSeriesNumber = 0;
    std::vector<std::string> peerImageSopUids;  // images made at peers' request, newest last
};

// The peers' images whose repeat is recognised.
constexpr size_t kRememberedPeerImages = 64;

}  // namespace v3d
