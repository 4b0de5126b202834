#pragma once
// The texts of the messages the 3D window shows (caption "Error"), one
// table for every status the engine reports.

#include "view/ViewCore.h"
#include "volume/SeriesAcquisition.h"

#include <string>

namespace v3d {

// Why a capture wrote no image.
enum class CaptureStatus {
    CreateFailed,  // the host made no new file
};

// Null where the user needs no message.
const char* loadMessage(SeriesLoadStatus status);
const char* noticeMessage(ViewNotice notice);
const char* captureMessage(CaptureStatus status);
// The refusal of a volume with the host's own reason in place of the hint.
std::string refusedVolumeMessage(const std::string& hostReason);

}  // namespace v3d
