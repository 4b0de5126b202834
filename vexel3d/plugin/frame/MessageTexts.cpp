#include "plugin/frame/MessageTexts.h"

#include "volume/CVolume.h"

#include <string>

namespace v3d {

namespace {
constexpr const char* kNotEquidistant = "Slices in this series are not parallel/equidistant. Cannot reconstruct volume.";
constexpr const char* kSplitSeriesHint = "[Verify if  Settings|Customize Settings|Layout|Split Series setting is on.]";
}  // namespace

std::string refusedVolumeMessage(const std::string& hostReason) {
    return std::string(kNotEquidistant) + "\n" + hostReason;
}

const char* loadMessage(SeriesLoadStatus status) {
    switch (status) {
    case SeriesLoadStatus::HostRefused:
    case SeriesLoadStatus::BadGeometry: {
        static const std::string text = std::string(kNotEquidistant) + "\n" + kSplitSeriesHint;
        return text.c_str();
    }
    case SeriesLoadStatus::OutOfMemory: return "Not enough memory to build the volume of this series.";
    case SeriesLoadStatus::TooFewImages: {
        static const std::string text =
            "Too few images for a 3D view: at least " + std::to_string(CVolume::kMinSize) + " are needed.";
        return text.c_str();
    }
    case SeriesLoadStatus::Ok:
    case SeriesLoadStatus::Cancelled:
    case SeriesLoadStatus::DeclinedShortOfMemory: return nullptr;
    }
    return nullptr;
}

const char* noticeMessage(ViewNotice notice) {
    switch (notice) {
    case ViewNotice::CutPlaneLimitReached: return "Maximum number of cutplanes reached.";
    case ViewNotice::NoSlotsForFactoryPresets:
        return "Not enough slots to add factory presets,\ndelete some user presets first.";
    case ViewNotice::TooLongToShare:
        return "The segmentation is too long to share with the other participants: they keep their view as "
               "it was. Reset segmentation to share again.";
    case ViewNotice::PeerTextTooLong:
        return "A participant's view could not be followed: its segmentation is too long. Ask them to reset "
               "segmentation.";
    case ViewNotice::PeerCapturesLimited:
        return "A participant asked for more images than this window makes for others (400 at once, then 40 a "
               "minute): the images past that were not made here.";
    }
    return nullptr;
}

const char* captureMessage(CaptureStatus status) {
    switch (status) {
    case CaptureStatus::CreateFailed: return "Failed to create DICOM image";
    }
    return nullptr;
}

}  // namespace v3d
