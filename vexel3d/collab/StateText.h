#pragma once
// The state lines a view writes for a change mask: the groups of the mask in
// a fixed order, each line "keyword payload\n".

#include <string>

namespace v3d {

class Camera;
class ViewCore;
struct CaptureRecord;
class CutPlane;

// Every message between peers starts with this line.
constexpr const char* kStateMarkerLine = "J_justspec dummy\n";
constexpr const char* kStateMarkerKey = "J_justspec ";

// All groups but the capture (saved states), and the camera group alone.
constexpr int kSavedStateMask = 63;
constexpr int kCompactStateMask = 1;

// The lines of the groups in mask; empty for a mask without known bits or
// 0 and below. The view must be bound to a camera and a volume.
std::string buildStateText(const ViewCore& view, const CaptureRecord& capture, int mask);

// Payloads as the lines carry them: a receiver keeps its own values where
// they read the same, so six decimals never wear them down.
std::string sixDecimals(float value);
std::string cameraVectorsPayload(const Camera& camera);
std::string cutPlanePayload(const CutPlane& plane);

}  // namespace v3d
