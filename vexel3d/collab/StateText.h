#pragma once
// The state lines a view writes for a change mask: the groups of the mask in
// a fixed order, each line "keyword payload\n".

#include <string>

namespace v3d {

class ViewCore;
struct CaptureRecord;

// Every message between peers starts with this line.
constexpr const char* kStateMarkerLine = "J_justspec dummy\n";
constexpr const char* kStateMarkerKey = "J_justspec ";

// All groups but the capture (saved states), and the camera group alone.
constexpr int kSavedStateMask = 63;
constexpr int kCompactStateMask = 1;

// The lines of the groups in mask; empty for a mask without known bits or
// 0 and below. The view must be bound to a camera and a volume.
std::string buildStateText(const ViewCore& view, const CaptureRecord& capture, int mask);

}  // namespace v3d
