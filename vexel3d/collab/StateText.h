#pragma once
// The state lines a view writes for a change mask: the groups of the mask in
// a fixed order, each line "keyword payload\n".

#include "wire/StateKeywords.h"

#include <string>

namespace v3d {

class Camera;
class ViewCore;
struct CaptureRecord;
class CutPlane;

// All groups but the capture (saved states), and the camera group alone.
constexpr int kSavedStateMask = 63;
constexpr int kCompactStateMask = 1;

// The lines of the groups in mask, in the table's order; empty for a mask
// without known bits or 0 and below, or for a view without a camera and a
// volume.
std::string buildStateText(const ViewCore& view, const CaptureRecord& capture, int mask);

// Payloads as the lines carry them: a receiver keeps its own values where
// they read the same, so six decimals never wear them down.
std::string cameraVectorsPayload(const Camera& camera);
std::string cutPlanePayload(const CutPlane& plane);

}  // namespace v3d
