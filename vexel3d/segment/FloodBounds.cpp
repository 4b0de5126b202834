#include "segment/FloodBounds.h"

#include "volume/CVolume.h"

#include <algorithm>
#include <cstdlib>

namespace v3d {

namespace {

int limited(int stored)
{
    return std::clamp(stored, 0, kMaxStoredValue);
}

}  // namespace

bool floodBoundsFor(FloodTool tool, int sample, const CVolume& volume, int segLowHU, int segHighHU,
                    int segRadHU, FloodBounds& bounds)
{
    switch (tool) {
    case FloodTool::SelectObject:
        bounds.low = volume.isoStored;
        bounds.high = kMaxStoredValue;
        return sample >= bounds.low;
    case FloodTool::SegRange:
        bounds.low = limited(volume.huToStored(segLowHU));
        bounds.high = limited(volume.huToStored(segHighHU));
        return sample >= bounds.low && sample <= bounds.high;
    case FloodTool::DensityRange: {
        const int r = std::abs(volume.huDeltaToStored(segRadHU));
        bounds.low = limited(sample - r);
        bounds.high = limited(sample + r);
        return true;
    }
    }
    return false;
}

}  // namespace v3d
