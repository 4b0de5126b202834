#pragma once
// The first isovalue, level and width of a series that is not CT: CT numbers
// (the fixed defaults) mean nothing in an MR's units. Its own window when it
// carries one, else one spanning the bulk of its values; the isovalue where
// the histogram parts background from tissue, so that the surface shows
// the anatomy rather than the noise around it.

#include <string>

namespace v3d {

class CVolume;

// The defaults a window starts with, for CT and unknown modalities.
constexpr int kDefaultIsoHU = -300;
constexpr int kDefaultLevelHU = 0;
constexpr int kDefaultWidthHU = 1000;

struct DisplayDefaults {
    int isoHU = kDefaultIsoHU;
    int levelHU = kDefaultLevelHU;
    int widthHU = kDefaultWidthHU;
};

// Whether a modality's values are CT numbers (an unknown one is taken as CT).
bool valuesAreHU(const std::string& modality);

// From a classified volume (its histogram), with the series' own window
// (rescaled units) when hasWindow.
DisplayDefaults seriesOwnDefaults(const CVolume& volume, bool hasWindow, double windowCenter, double windowWidth);

}  // namespace v3d
