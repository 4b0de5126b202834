#pragma once
// The value range of a flood picked with one of the three selection tools,
// from the sample under the picked point.

#include "wire/WireLimits.h"

namespace v3d {

class CVolume;

enum class FloodTool {
    SelectObject,  // from the iso threshold up
    SegRange,      // the fixed range m_prefs.segLow .. m_prefs.segHigh (HU)
    DensityRange,  // the sample plus and minus m_prefs.segRad (HU)
};

struct FloodBounds {
    int low = 0;
    int high = 0;
};

// False when the sample lies outside what the tool takes (below the iso
// threshold; outside low .. high for the fixed range): then nothing is
// segmented. sample is the truncated trilinear sample (-1: none).
bool floodBoundsFor(FloodTool tool, int sample, const CVolume& volume, int segLowHU, int segHighHU,
                    int segRadHU, FloodBounds& bounds);

}  // namespace v3d
