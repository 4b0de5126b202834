#pragma once
// Cuts a received segmentation history into its operations: a seed
// operation (SEGBEGIN, its SEGCUTPLANE records, SEGEND), an outline
// operation (SEGROIBEGIN, its SEGROIPOINT records, SEGROIEND) or a mask set
// whole (SEGMASKBEGIN, its SEGMASKDATA records, SEGMASKEND). Each
// operation keeps its exact text, which is what the replay compares with
// the local history. A record of a known form whose fields do not parse
// exactly (nothing after them) or lie outside what any local operation
// writes, and any record with bytes a state line cannot carry, make the
// open operation malformed: it is read to its end and never replayed.

#include "render/math/Vec3.h"
#include "segment/SegmentMask.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace v3d {

// An outline longer than any drawn on the image.
constexpr int kMaxOutlinePoints = 1024;
// Stored values run from 0 to this.
constexpr int kMaxStoredValue = 16383;
// No grid the host builds is longer than this along an axis.
constexpr int kMaxGridSize = 4096;

struct HistoryOperation {
    enum class Kind { Seed, Outline, Mask };
    Kind kind = Kind::Seed;
    std::string text;  // the records, each with its final J
    bool malformed = false;

    // Seed operation.
    Vec3 seed;
    bool add = true;
    bool boundByCutPlanes = false;
    int low = 0;
    int high = 0;
    std::vector<SegmentPlane> planes;

    // Outline operation.
    Vec3 direction;
    bool keep = true;
    int announcedPoints = 0;
    float startDepth = 0.0f;
    int depthRange = 0;
    std::vector<Vec3> points;

    // Mask operation: the grid it was made for, the clip box and the packed
    // kept runs (KeptMaskCodec).
    int sizeX = 0, sizeY = 0, sizeZ = 0;
    ClipBox clip;
    size_t announcedLetters = 0;
    std::string letters;
};

// Calls onOperation for every closed operation in text order; returning
// false stops the reading. Text after the last J is ignored, as are
// records that match no form and closing records without an open operation.
void readSegHistory(std::string_view text, const std::function<bool(HistoryOperation&)>& onOperation);

}  // namespace v3d
