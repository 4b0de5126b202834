#pragma once
// The segmentation operations as the view's tools start them: a flood from
// the surface under a double-click, the cut along a freehand outline, and
// the reset. Each changes the volume's mask through the view's door and
// appends its records to the view's history.

#include "render/math/Vec3.h"
#include "view/DisplayGeometry.h"

#include "segment/SegmentMask.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace v3d {

class ViewCore;

// The flood of the selection tools at a client point; false when nothing
// was done (outside the image, no surface, the value out of the tool's
// range, or a right tool that defines no range).
bool floodAtPixel(ViewCore& view, ClientPoint point, bool add);
// The region cut along an outline (index-space points) swept along
// direction from startDepth for depthRange unit steps.
void cutWithOutline(ViewCore& view, const std::vector<Vec3>& points, const Vec3& direction, float startDepth,
                    int depthRange, bool keep);
enum class MaskImportStatus { Ok, NoVolume, WrongSize, TooDetailed };
// Sets the whole mask: voxel i kept when kept[i] is non-zero (x fastest,
// count must be the grid's). The clip box is clip when given, else the box
// around the kept voxels. Appends the operation that repeats it, which a
// state text must be able to carry: a mask too detailed for that is
// refused and nothing changes.
MaskImportStatus importKeptMask(ViewCore& view, const uint8_t* kept, size_t count, const ClipBox* clip);
// Every voxel visible again, the full clip box, and an empty history.
void resetViewSegmentation(ViewCore& view);

}  // namespace v3d
