#pragma once
// Segmentation of a volume: which voxels stay visible. It edits only the
// mask bytes (never a value): flood fills from a picked point over a range of
// stored values that keep only the connected object or remove it, region
// cuts along a barrier surface swept from a drawn outline, and the reset.
// After a flood or a cut the clip box shrinks to what stayed visible.
//
// Before and after every operation each hidden voxel of the inner grid is
// marked and each visible one unmarked, so that only voxels hidden by the
// running operation (not kept, not marked) take part in its propagation.
// The caller stops every render pass that may read the mask first.

#include "render/math/Vec3.h"
#include "segment/SegmentMask.h"

#include <cstdint>
#include <vector>

namespace v3d {

// How a fill grows from its seed. Both take the same voxels for a region
// cut, for a keep flood, and for a removal after a reset or a region cut;
// after other floods a sweep also starts from voxels they left hidden and
// unmarked in the outer layers, which the span stack never does.
enum class FillMethod {
    SpanStack,  // each span taken once, from a stack of row words
    Sweep,      // rows and slices swept again until nothing changes
};

class Segmenter {
public:
    explicit Segmenter(CVolume& volume) : volume_(volume) {}

    // Every voxel visible and unmarked with its class, then the full clip box.
    void resetSegmentation();

    // Flood from the picked point (float index coordinates): from the first
    // voxel of its cell (z, then y, then x offsets 0..1) whose value lies in
    // [low, high). False, with nothing changed, for a point outside the grid
    // or a cell without such a voxel. keepOnly keeps only the connected
    // object; otherwise the object is removed. With boundByCutPlanes only
    // voxels on the kept side of every plane take part.
    bool floodFromPoint(float x, float y, float z, bool keepOnly, bool boundByCutPlanes,
                        const std::vector<SegmentPlane>& cutPlanes, int low, int high);
    // The flood from voxel (x, y, z) and its post-passes: a kept object gains
    // the lower neighbours of its voxels, a removed one takes them along.
    // True even when the seed could not be taken; false only for a seed
    // outside the grid.
    bool floodFill(int x, int y, int z, bool keepOnly, bool boundByCutPlanes,
                   const std::vector<SegmentPlane>& cutPlanes, int low, int high);

    // Makes the cell at the truncated point (its eight voxels, limited to
    // the grid) part of a barrier surface; false outside the grid.
    bool markBarrierBlock(float x, float y, float z);
    // Decides every part of the grid that the barrier surface cuts out by
    // one polygon test: inside the outline seen along viewDirection (rays
    // along testAxis, perpendicular to it) means kept when keepInside.
    void selectRegion(const std::vector<Vec3>& polygon, const Vec3& viewDirection,
                      const Vec3& testAxis, bool keepInside);
    // Barrier voxels hidden with their class recomputed; kept voxels
    // unmarked and boxed.
    void finishRegion();
    // Every voxel's kept bit from runs (see KeptMaskCodec), whatever it was:
    // hidden voxels marked, kept ones unmarked, classes unchanged. The clip
    // box becomes clip when given (limited to the faces a kept box can
    // have), else the box around the kept voxels.
    void setKeptRuns(const std::vector<uint32_t>& runs, const ClipBox* clip);
    // The volume's clip box from the kept bounding box (empty when nothing
    // stayed visible, so that every ray misses).
    void clipBoxFromKeptBox();

    FillMethod fillMethod = FillMethod::SpanStack;

    // The running or last operation.
    KeptBox kept;
    uint16_t segLow = 0;
    uint16_t segHigh = 0;
    bool boundByCutPlanes = false;
    std::vector<SegmentPlane> segCutPlanes;

private:
    template <class Rule>
    bool fill(const Rule& rule, int x, int y, int z);
    void keepObject(int x, int y, int z);
    void removeObject(int x, int y, int z);

    CVolume& volume_;
};

}  // namespace v3d
